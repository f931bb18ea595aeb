// A long agent session: 1,000 tool calls of every page kind (navigate, back,
// forward, reload, snapshot, find, click, fill, evaluate, screenshot) on
// loopback pages, in a fixed pseudo-random order. Prints the calls, failures
// and median time per tool (also of its calls that succeeded), every distinct
// failure text, the slowest call and the resident memory every 250 calls.
// Run it under a display after scripts/install-e2e:
//   VESK_BINARY=build/src/Vesk/vesk scripts/test-session node benchmarks/mixed-calls.mjs [calls]

import { startPages } from '../tests/e2e/support/pages.js';
import { firstText, startVesk } from '../tests/e2e/support/vesk.js';
import { memoryLine } from './memory.mjs';

const calls = Number(process.argv[2] ?? 1000);
const pages = await startPages();
const vesk = await startVesk();
const pid = vesk.transport.pid;

let seed = 15;
const random = (n) => {
  seed = (seed * 1103515245 + 12345) % 2147483648;
  return Math.floor(seed / 65536) % n; // the low bits of this generator repeat soon
};
const refOf = (text, pattern) => new RegExp(`\\[(e\\d+)\\] ${pattern}`).exec(text)?.[1];

const stats = new Map();
const failures = new Map();
let lastPage = '';
let slowest = { ms: 0, name: '' };
const started = Date.now();

for (let i = 1; i <= calls; i++) {
  const kinds = ['navigate', 'back', 'forward', 'reload', 'snapshot', 'find', 'click', 'fill', 'evaluate', 'screenshot'];
  const name = i === 1 ? 'navigate' : kinds[random(kinds.length)];
  let args = {};
  if (name === 'navigate') args = { url: pages.url(['/', '/form', '/popup'][random(3)]) };
  if (name === 'find') args = { text: ['parcel', 'greet', 'colour', 'zebra'][random(4)] };
  if (name === 'evaluate') args = { script: 'return [document.title, location.pathname, document.body.innerText.length]' };
  if (name === 'click') args = { ref: refOf(lastPage, '(button|link) ') ?? 'e1' };
  if (name === 'fill') args = { ref: refOf(lastPage, 'textbox') ?? 'e1', text: `name ${i}` };
  const begun = Date.now();
  const result = await vesk.client.callTool({ name, arguments: args }, undefined, { timeout: 120000 });
  const ms = Date.now() - begun;
  if (ms > slowest.ms) slowest = { ms, name };
  const entry = stats.get(name) ?? { calls: 0, failed: 0, times: [], passed: [] };
  entry.calls++;
  entry.times.push(ms);
  if (!result.isError) entry.passed.push(ms);
  const text = firstText(result);
  if (result.isError) {
    entry.failed++;
    const key = `${name}: ${text.replace(/e\d+/g, 'eN').replace(/:\d+\//g, ':PORT/').slice(0, 400)}`;
    failures.set(key, (failures.get(key) ?? 0) + 1);
  } else if (/Page: /.test(text)) {
    lastPage = text;
  }
  stats.set(name, entry);
  if (i % 250 === 0) console.log(memoryLine(`after ${i} calls (${((Date.now() - started) / 1000).toFixed(0)} s)`, pid));
}

const median = (times) => {
  if (!times.length) return '-';
  const sorted = [...times].sort((a, b) => a - b);
  const mid = sorted.length >> 1;
  return sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
};
for (const [name, entry] of stats) {
  console.log(`${name}: ${entry.calls} calls, ${entry.failed} failed, median ${median(entry.times)} ms ` +
    `(of those that succeeded ${median(entry.passed)} ms)`);
}
for (const [text, count] of failures) console.log(`${count} x ${text}`);
console.log(`slowest call: ${slowest.name} ${slowest.ms} ms; all ${calls} calls in ${((Date.now() - started) / 1000).toFixed(0)} s`);
const { exit } = await vesk.stop();
await pages.close();
console.log(`vesk ended with ${JSON.stringify(exit)}; lines not JSON-RPC: ${vesk.transport.badLines.length}`);
