// With a client attached the window stays closed until the agent's first
// logged call, and vesk without any display says why it cannot start.

import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { test } from 'node:test';

import { startPages } from './support/pages.js';
import { startVesk, veskBinary, waitFor } from './support/vesk.js';
import { shownWindows } from './support/windows.js';

test('the window opens at the first logged call, not at initialize or tools/list', async () => {
  const pages = await startPages();
  const vesk = await startVesk();
  try {
    const pid = vesk.transport.pid;
    await vesk.client.listTools();
    // Each answer comes after vesk's main loop went round, by when a window
    // opened at start would have been mapped.
    for (let i = 0; i < 5; i++) await vesk.client.ping();
    assert.deepEqual(shownWindows(pid), []);

    const result = await vesk.client.callTool({ name: 'navigate', arguments: { url: pages.url('/') } });
    assert.equal(result.isError, false);
    await waitFor(() => shownWindows(pid).includes('Vesk'), { what: 'the browser window' });
  } finally {
    const { exit } = await vesk.stop();
    assert.deepEqual(exit, { code: 0, signal: null });
    await pages.close();
  }
});

test('without a display vesk says so and fails', async () => {
  const env = { ...process.env };
  delete env.DISPLAY;
  delete env.WAYLAND_DISPLAY;
  const child = spawn(veskBinary(), [], { env, stdio: ['pipe', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const code = await new Promise((resolve) => child.on('exit', resolve));
  assert.notEqual(code, 0);
  assert.match(stderr, /no display/);
  assert.match(stderr, /"DISPLAY": ":0"/);
});
