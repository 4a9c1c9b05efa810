// Component keys and signatures computed by independent libraries, for the
// Python end-to-end tests. Reads a JSON list of requests on stdin and
// writes the list of hex answers on stdout.
import './webcrypto.mjs';
import { ed25519 } from '@noble/curves/ed25519.js';
import { ml_dsa44 } from '@noble/post-quantum/ml-dsa.js';
import * as sr25519 from '@scure/sr25519';

const hex = (b) => Buffer.from(b).toString('hex');
const bytes = (h) => Uint8Array.from(Buffer.from(h, 'hex'));

const chunks = [];
for await (const c of process.stdin) chunks.push(c);
const requests = JSON.parse(Buffer.concat(chunks).toString());

const answers = requests.map((r) => {
  switch (r.op) {
    case 'ed25519_pk': return hex(ed25519.getPublicKey(bytes(r.seed)));
    case 'ed25519_sign': return hex(ed25519.sign(bytes(r.msg), bytes(r.seed)));
    case 'ed25519_verify':
      return ed25519.verify(bytes(r.sig), bytes(r.msg), bytes(r.pk), { zip215: true }) ? '01' : '00';
    case 'sr25519_pk': return hex(sr25519.getPublicKey(sr25519.secretFromSeed(bytes(r.seed))));
    case 'sr25519_verify':
      return sr25519.verify(bytes(r.msg), bytes(r.sig), bytes(r.pk)) ? '01' : '00';
    case 'sr25519_vrf_verify': {
      // sig = pre-output (32) || proof (64); ctx is the signing context.
      let ok = false;
      try {
        ok = sr25519.vrf.verify(bytes(r.msg), bytes(r.sig), bytes(r.pk), bytes(r.ctx), new Uint8Array(0));
      } catch {
        ok = false;
      }
      return ok ? '01' : '00';
    }
    case 'mldsa44_pk': return hex(ml_dsa44.keygen(bytes(r.seed)).publicKey);
    case 'mldsa44_sign_det': {
      const { secretKey } = ml_dsa44.keygen(bytes(r.seed));
      return hex(ml_dsa44.sign(bytes(r.msg), secretKey, { extraEntropy: false }));
    }
    case 'mldsa44_verify':
      return ml_dsa44.verify(bytes(r.sig), bytes(r.msg), bytes(r.pk)) ? '01' : '00';
    default: throw new Error(`unknown op ${r.op}`);
  }
});
process.stdout.write(JSON.stringify(answers));
