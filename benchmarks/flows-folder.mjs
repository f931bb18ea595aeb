// A flows folder of large files: 100 flow files of just under 4 MiB each (the
// most a flow file may hold, made of the smallest steps, which cost the most
// memory for their bytes) and one small flow. Times list_flows and a run_flow
// of the small flow through vesk, and prints vesk's peak resident memory.
// Run it under a display after scripts/install-e2e:
//   VESK_BINARY=build/src/Vesk/vesk scripts/test-session node benchmarks/flows-folder.mjs [files] [calls]

import { mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

import { firstText, makeHome, startVesk } from '../tests/e2e/support/vesk.js';

const files = Number(process.argv[2] ?? 100);
const calls = Number(process.argv[3] ?? 3);

function peakMiB(pid) {
  const status = readFileSync(`/proc/${pid}/status`, 'utf8');
  return Number(/VmHWM:\s+(\d+)/.exec(status)[1]) / 1024;
}

const home = makeHome();
const folder = join(home, 'data', 'Vesk', 'Flows');
mkdirSync(folder, { recursive: true });
const step = '{"action":"reload"},';
const count = Math.floor((4 * 1024 * 1024 - 100) / step.length);
for (let i = 0; i < files; i++) {
  const name = `big ${String(i).padStart(3, '0')}`;
  writeFileSync(join(folder, `big-${i}.json`), `{"name":"${name}","steps":[${step.repeat(count)}{"action":"reload"}]}`);
}
writeFileSync(join(folder, 'small.json'), JSON.stringify({ name: 'small', steps: [{ action: 'waitForNoConsoleErrors' }] }));

const timed = async (label, run) => {
  const started = process.hrtime.bigint();
  const result = await run();
  const ms = Number(process.hrtime.bigint() - started) / 1e6;
  console.log(`${label}: ${(ms / 1000).toFixed(2)} s`);
  return result;
};

const startedAt = process.hrtime.bigint();
const vesk = await startVesk({ home });
const pid = vesk.transport.pid;
console.log(`start and initialize: ${(Number(process.hrtime.bigint() - startedAt) / 1e9).toFixed(2)} s`);
const call = (name, args = {}) => vesk.client.callTool({ name, arguments: args }, undefined, { timeout: 600000 });
for (let i = 1; i <= calls; i++) {
  const listed = await timed(`list_flows ${i}`, () => call('list_flows'));
  if (i === 1) {
    const text = firstText(listed);
    const flows = (text.match(/ steps\)/g) ?? []).length;
    const skipped = (text.match(/\.json \(/g) ?? []).length;
    console.log(`  listed ${flows} flows, skipped ${skipped} files`);
  }
  const ran = await timed(`run_flow small ${i}`, () => call('run_flow', { name: 'small' }));
  if (ran.isError) console.log(`  run_flow failed: ${firstText(ran).slice(0, 200)}`);
}
console.log(`peak resident memory of vesk: ${peakMiB(pid).toFixed(0)} MiB`);
await vesk.stop();
rmSync(home, { recursive: true, force: true });
