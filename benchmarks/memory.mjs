// Resident memory over many page loads: loads loopback pages 500 times
// through vesk's navigate and reload (and a data: page), and prints the
// resident memory of vesk itself and of its web process every 100 loads.
// After the first hundred, vesk's own memory should grow by a few MiB per
// hundred loads at most. Run it under a display after scripts/install-e2e:
//   VESK_BINARY=build/src/Vesk/vesk scripts/test-session node benchmarks/memory.mjs [loads]

import { startPages } from '../tests/e2e/support/pages.js';
import { descendants, firstText, startVesk } from '../tests/e2e/support/vesk.js';
import { readFileSync } from 'node:fs';

const loads = Number(process.argv[2] ?? 500);

export function residentMiB(pid) {
  try {
    const status = readFileSync(`/proc/${pid}/status`, 'utf8');
    return Number(/VmRSS:\s+(\d+)/.exec(status)[1]) / 1024;
  } catch {
    return NaN;
  }
}

export function webProcesses(pid) {
  return descendants(pid).filter((child) => {
    try {
      return readFileSync(`/proc/${child}/comm`, 'utf8').startsWith('WebKitWebProces');
    } catch {
      return false;
    }
  });
}

export function memoryLine(label, pid) {
  const web = webProcesses(pid).map(residentMiB).filter((mib) => !Number.isNaN(mib));
  return `${label}: vesk ${residentMiB(pid).toFixed(1)} MiB, web process ${web.map((m) => m.toFixed(1)).join(' + ') || '-'} MiB`;
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const pages = await startPages();
  const vesk = await startVesk();
  const pid = vesk.transport.pid;
  const targets = [pages.url('/'), pages.url('/form'), 'data:text/html,<title>tiny</title><p>tiny page'];
  const started = Date.now();
  for (let i = 1; i <= loads; i++) {
    const name = i % 5 === 0 ? 'reload' : 'navigate';
    const args = name === 'navigate' ? { url: targets[i % targets.length] } : {};
    const result = await vesk.client.callTool({ name, arguments: args });
    if (result.isError) console.error(`load ${i} failed: ${firstText(result).slice(0, 300)}`);
    if (i % 100 === 0) console.log(memoryLine(`after ${i} loads (${((Date.now() - started) / 1000).toFixed(0)} s)`, pid));
  }
  const { exit } = await vesk.stop();
  await pages.close();
  console.log(`vesk ended with ${JSON.stringify(exit)}`);
}
