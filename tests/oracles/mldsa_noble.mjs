// Differential oracle for ML-DSA-44: runs @noble/post-quantum over the cases
// in the input file and writes its answers to the output file.
//   node mldsa_noble.mjs <in.json> <out.json>
// Input: [{xi, rnd, msg, foreign_sigs: [hex]}] (hex strings; rnd all zero
// means the deterministic variant). Output per case: pk, sk, sig (noble's
// pure ML-DSA signature, empty context), verifies (of its own signature),
// foreign (noble's verdict on each given signature under its pk), hedged (a
// signature with noble's own randomness).
// A case given as {sk, msg} instead signs msg with that secret key as it
// stands and answers {refused, error}: whether noble refused the key, and
// its message.
import './webcrypto.mjs';
import { readFileSync, writeFileSync } from 'node:fs';
import { ml_dsa44 } from '@noble/post-quantum/ml-dsa.js';

const hex = (b) => Buffer.from(b).toString('hex');
const bytes = (h) => new Uint8Array(Buffer.from(h, 'hex'));

const [inPath, outPath] = process.argv.slice(2);
const cases = JSON.parse(readFileSync(inPath, 'utf8'));
const signWithKey = (c) => {
  try {
    ml_dsa44.sign(bytes(c.msg), bytes(c.sk), { extraEntropy: false });
    return { refused: false, error: '' };
  } catch (e) {
    return { refused: true, error: String(e.message) };
  }
};
const out = cases.map((c) => {
  if (c.sk !== undefined) return signWithKey(c);
  const { publicKey, secretKey } = ml_dsa44.keygen(bytes(c.xi));
  const msg = bytes(c.msg);
  const rnd = bytes(c.rnd);
  const deterministic = rnd.every((v) => v === 0);
  const sig = ml_dsa44.sign(msg, secretKey, { extraEntropy: deterministic ? false : rnd });
  return {
    pk: hex(publicKey),
    sk: hex(secretKey),
    sig: hex(sig),
    verifies: ml_dsa44.verify(sig, msg, publicKey),
    foreign: c.foreign_sigs.map((s) => ml_dsa44.verify(bytes(s), msg, publicKey)),
    hedged: hex(ml_dsa44.sign(msg, secretKey)),
  };
});
writeFileSync(outPath, JSON.stringify(out));
