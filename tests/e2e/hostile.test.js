// Input and pages meant to wedge or kill vesk: it answers, goes on serving,
// ends with its input and says on standard error why it stopped otherwise.

import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdtempSync, openSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, test } from 'node:test';

import { startPages } from './support/pages.js';
import { firstText, startVesk, veskBinary, waitFor } from './support/vesk.js';

const home = mkdtempSync(join(tmpdir(), 'vesk-e2e-raw-'));
after(() => rmSync(home, { recursive: true, force: true }));

// A vesk spoken to in raw lines; `stdout` may be a descriptor of the test's choice.
function rawVesk(stdout = 'pipe') {
  const env = { ...process.env, XDG_CONFIG_HOME: join(home, 'config'), XDG_DATA_HOME: join(home, 'data'),
    XDG_CACHE_HOME: join(home, 'cache') };
  const child = spawn(veskBinary(), [], { env, stdio: ['pipe', stdout, 'pipe'] });
  const run = { child, out: '', err: '' };
  child.stdout?.on('data', (chunk) => { run.out += chunk; });
  child.stderr.on('data', (chunk) => { run.err += chunk; });
  run.exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));
  return run;
}

const parseError = '{"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error"}}';

test('a line of any shape is answered and the next one served', async () => {
  const vesk = rawVesk();
  const deep = '['.repeat(50000) + ']'.repeat(50000);
  vesk.child.stdin.write(`{"id":1,"method":"ping","x":${deep}}\n`);
  vesk.child.stdin.write('{"id":2,"method":"ping"}\0{"id":3}\n');
  vesk.child.stdin.end('{"id":4,"method":"ping"}\n');
  assert.equal(await vesk.exited, 0, vesk.err);
  assert.equal(vesk.out, `${parseError}\n${parseError}\n{"jsonrpc":"2.0","id":4,"result":{}}\n`);
});

test('a reply that cannot be written is said on standard error', async () => {
  const vesk = rawVesk(openSync('/dev/full', 'w'));
  vesk.child.stdin.write('{"id":1,"method":"ping"}\n');
  assert.equal(await vesk.exited, 0);
  assert.match(vesk.err, /vesk: Writing a reply failed: No space left on device/);
});

test('a page that prints wedges nothing, and input still ends vesk', async () => {
  const pages = await startPages();
  const vesk = await startVesk();
  try {
    const printed = await vesk.client.callTool({ name: 'navigate', arguments: { url: pages.url('/print') } });
    assert.equal(printed.isError, false, firstText(printed));
    assert.match(firstText(printed), /Sent to the printer/);
    const again = await vesk.client.callTool({ name: 'evaluate', arguments: { script: 'print(); return document.title' } });
    assert.match(firstText(again), /Printing/);
  } finally {
    await pages.close();
  }
  const { exit } = await vesk.stop();
  assert.deepEqual(exit, { code: 0, signal: null });
});
