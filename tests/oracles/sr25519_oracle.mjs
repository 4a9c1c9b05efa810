// Differential oracle for sr25519: @scure/sr25519 and @polkadot/wasm-crypto
// (schnorrkel compiled to WebAssembly).
//
// Usage: node sr25519_oracle.mjs <cases.json> <results.json>
// Every case carries our key, signatures and VRF evaluations; this script
// checks them in both libraries, reproduces them byte for byte where the
// witness bytes are known, and returns each library's own signatures and
// proofs for the caller to verify. Both oracles take the 64-byte secret key
// in schnorrkel's Ed25519 form (8*scalar || nonce).
import './webcrypto.mjs';
import { readFileSync, writeFileSync } from 'node:fs';
import { createHash } from 'node:crypto';
import * as scure from '@scure/sr25519';
import { ristretto255, ristretto255_hasher } from '@noble/curves/ed25519.js';
import * as wasm from '@polkadot/wasm-crypto';

const [, , inPath, outPath] = process.argv;
const fromHex = (h) => Uint8Array.from(Buffer.from(h, 'hex'));
const toHex = (u) => Buffer.from(u).toString('hex');
const eq = (a, b) => Buffer.compare(Buffer.from(a), Buffer.from(b)) === 0;
const SUBSTRATE = new TextEncoder().encode('substrate');
const EMPTY = new Uint8Array(0);
const { SigningContext, Merlin } = scure.__tests;
const Point = ristretto255.Point;
const N = Point.Fn.ORDER;

// First 32 bytes of the seeded stream SHA-512(seed || BE64(0)).
const firstWitnessBytes = (seedHex) =>
  Uint8Array.from(createHash('sha512').update(Buffer.concat([Buffer.from(seedHex, 'hex'), Buffer.alloc(8)])).digest()).slice(0, 32);

// scalar || nonce  ->  8*scalar || nonce
function toEd25519Form(sk) {
  const out = new Uint8Array(64);
  let carry = 0;
  for (let i = 0; i < 32; i++) {
    const v = (sk[i] << 3) | carry;
    out[i] = v & 0xff;
    carry = v >> 8;
  }
  if (carry !== 0) throw new Error('scalar does not fit');
  out.set(sk.subarray(32), 32);
  return out;
}

const leToBig = (b) => BigInt('0x' + (toHex(Uint8Array.from(b).reverse()) || '0'));

// schnorrkel verification under an arbitrary signing context, assembled from
// scure's transcript and noble's group (scure's verify fixes "substrate").
function verifyWithContext(ctx, msg, sig, pk) {
  if ((sig[63] & 0x80) === 0) return false;
  const sBytes = Uint8Array.from(sig.subarray(32));
  sBytes[31] &= 0x7f;
  const s = leToBig(sBytes);
  if (s >= N) return false;
  const A = Point.fromBytes(pk);
  const t = new SigningContext('SigningContext');
  t.label(ctx);
  t.bytes(msg);
  t.protoName('Schnorr-sig');
  t.commitPoint('sign:pk', A);
  t.appendMessage('sign:R', sig.subarray(0, 32));
  const k = t.challengeScalar('sign:c');
  const sB = s === 0n ? Point.ZERO : Point.BASE.multiply(s);
  const kA = k === 0n ? Point.ZERO : A.multiply(k);
  return eq(sB.subtract(kA).toBytes(), sig.subarray(0, 32));
}

// schnorrkel's make_bytes::<[u8; 32]>(context) for (pk, ctx, input, pre-output).
function makeBytes(pk, ctx, input, preout, context) {
  const t = new SigningContext('SigningContext');
  t.label(ctx);
  t.bytes(input);
  t.commitPoint('vrf-nm-pk', Point.fromBytes(pk));
  const H = ristretto255_hasher.deriveToCurve(t.challengeBytes('VRFHash', 64));
  const r = new Merlin('VRFResult');
  r.appendMessage(EMPTY, context);
  r.appendMessage('vrf-in', H.toBytes());
  r.appendMessage('vrf-out', preout);
  return r.challengeBytes(EMPTY, 32);
}

function safe(f) {
  try {
    return f();
  } catch (e) {
    return `threw: ${e.message}`;
  }
}

await wasm.waitReady();
const input = JSON.parse(readFileSync(inPath, 'utf8'));
const results = [];
for (const c of input.cases) {
  const fails = [];
  const check = (name, v) => {
    if (v !== true) fails.push(`${name}: ${v}`);
  };
  const seed = fromHex(c.seed);
  const sk = fromHex(c.sk);
  const pk = fromHex(c.pk);
  const msg = fromHex(c.msg);
  const label = fromHex(c.label);
  const edSk = toEd25519Form(sk);

  // Keys.
  check('scure secretFromSeed', eq(scure.secretFromSeed(seed), edSk));
  check('scure getPublicKey', eq(scure.getPublicKey(edSk), pk));
  const pair = wasm.sr25519KeypairFromSeed(seed);
  check('wasm keypair secret', eq(pair.subarray(0, 64), edSk));
  check('wasm keypair public', eq(pair.subarray(64), pk));

  // Our signatures.
  const sigSub = fromHex(c.sig_substrate);
  const sigLabel = fromHex(c.sig_label);
  check('scure verifies ours (substrate)', safe(() => scure.verify(msg, sigSub, pk)));
  check('wasm verifies ours (substrate)', wasm.sr25519Verify(sigSub, msg, pk));
  check('scure reproduces ours (substrate)', eq(scure.sign(edSk, msg, firstWitnessBytes(c.sign_witness_seed)), sigSub));
  check('context verification of ours (label)', safe(() => verifyWithContext(label, msg, sigLabel, pk)));
  check('context verification refuses ours under substrate', safe(() => !verifyWithContext(SUBSTRATE, msg, sigLabel, pk)));
  check('wasm refuses label signature as substrate', !wasm.sr25519Verify(sigLabel, msg, pk));
  const tampered = Uint8Array.from(sigSub);
  tampered[5] ^= 0x10;
  check('wasm refuses tampered', !wasm.sr25519Verify(tampered, msg, pk));

  // Our VRF evaluations (pre-output || c || s).
  const vin = fromHex(c.vrf_input);
  const vrfLabel = fromHex(c.vrf_label);
  const vrfSub = fromHex(c.vrf_substrate);
  check('scure verifies our VRF (label)', safe(() => scure.vrf.verify(vin, vrfLabel, pk, label, EMPTY)));
  check('wasm verifies our VRF (label)', wasm.vrfVerify(pk, label, vin, EMPTY, vrfLabel));
  check('scure verifies our VRF (substrate)', safe(() => scure.vrf.verify(vin, vrfSub, pk, SUBSTRATE, EMPTY)));
  check('wasm verifies our VRF (substrate)', wasm.vrfVerify(pk, SUBSTRATE, vin, EMPTY, vrfSub));
  check('wasm refuses VRF under other context', !wasm.vrfVerify(pk, SUBSTRATE, vin, EMPTY, vrfLabel));
  const witness = firstWitnessBytes(c.vrf_witness_seed);
  check('scure reproduces our VRF (label)', eq(scure.vrf.sign(vin, edSk, label, EMPTY, witness), vrfLabel));
  check('make_bytes agrees', eq(makeBytes(pk, label, vin, vrfLabel.subarray(0, 32), fromHex(c.context)), fromHex(c.make_bytes)));

  // An encoding with bit 255 set is not canonical: noble refuses the key and
  // the pre-output written that way, as this library does.
  const withTopBit = (b) => {
    const x = Uint8Array.from(b);
    x[31] |= 0x80;
    return x;
  };
  const refused = (bytes) => typeof safe(() => Point.fromBytes(bytes)) === 'string';
  check('noble refuses the key with bit 255 set', refused(withTopBit(pk)));
  check('noble refuses the pre-output with bit 255 set', refused(withTopBit(vrfLabel.subarray(0, 32))));

  // Theirs, for the caller to verify.
  const theirs = {
    scure_sig_substrate: toHex(scure.sign(edSk, msg)),
    wasm_sig_substrate: toHex(wasm.sr25519Sign(pk, edSk, msg)),
    scure_vrf_label: toHex(scure.vrf.sign(vin, edSk, label, EMPTY)),
    wasm_vrf_label: toHex(wasm.vrfSign(edSk, label, vin, EMPTY)),
    wasm_vrf_substrate: toHex(wasm.vrfSign(edSk, SUBSTRATE, vin, EMPTY)),
  };
  results.push({ fails, theirs });
}
writeFileSync(outPath, JSON.stringify({ results }));
