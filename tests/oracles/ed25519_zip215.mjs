// Ed25519 oracle over @noble/curves: reads one request per line and writes one
// answer per line.
//   S <seed> <msg>        ->  <public key> <signature>
//   V <pk> <msg> <sig>    ->  1 | 0   (ZIP 215 verification)
// Byte strings are hex; "-" stands for an empty string.
import './webcrypto.mjs';
import { readFileSync, writeFileSync } from 'node:fs';
import { ed25519 } from '@noble/curves/ed25519.js';

const [, , inPath, outPath] = process.argv;
if (!inPath || !outPath) {
  console.error('usage: ed25519_zip215.mjs <requests> <answers>');
  process.exit(2);
}

const unhex = (h) => (h === '-' ? new Uint8Array(0) : Uint8Array.from(Buffer.from(h, 'hex')));
const hex = (b) => Buffer.from(b).toString('hex');

const answers = [];
for (const line of readFileSync(inPath, 'utf8').split('\n')) {
  if (line.trim() === '') continue;
  const [op, ...args] = line.trim().split(/\s+/);
  if (op === 'S') {
    const seed = unhex(args[0]);
    const msg = unhex(args[1]);
    answers.push(`${hex(ed25519.getPublicKey(seed))} ${hex(ed25519.sign(msg, seed))}`);
  } else if (op === 'V') {
    const [pk, msg, sig] = args.map(unhex);
    let ok = false;
    try {
      ok = ed25519.verify(sig, msg, pk, { zip215: true });
    } catch {
      ok = false;
    }
    answers.push(ok ? '1' : '0');
  } else {
    throw new Error(`unknown request ${op}`);
  }
}
writeFileSync(outPath, answers.join('\n') + '\n');
