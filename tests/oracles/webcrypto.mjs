// Node.js 18 has Web Crypto only as a module, not as globalThis.crypto, which
// @noble and @scure read for their random bytes. Imported first by every
// oracle script.
import { webcrypto } from 'node:crypto';

globalThis.crypto ??= webcrypto;
