// The first page of a freshly started vesk is watched like every later one:
// a page that changes at every frame holds the settle of its navigate.

import assert from 'node:assert/strict';
import { test } from 'node:test';

import { startPages } from './support/pages.js';
import { firstText, startVesk } from './support/vesk.js';

test('the first call of a fresh vesk loads a page that animates every frame, and its settle is held', async () => {
  const pages = await startPages();
  const vesk = await startVesk({ timings: { settleTimeout: 2 } });
  try {
    const loaded = await vesk.client.callTool({ name: 'navigate', arguments: { url: pages.url('/frames') } });
    assert.equal(loaded.isError, false, firstText(loaded));
    const phases = loaded._meta?.['vesk/phases'];
    assert.equal(phases?.settled, false, JSON.stringify(phases));
    assert.ok(phases.held.changes >= 1.5, JSON.stringify(phases));

    const counted = await vesk.client.callTool({ name: 'evaluate', arguments: { script: 'return frames' } });
    assert.ok(Number(firstText(counted).match(/\| (\d+)/)?.[1]) > 10, firstText(counted));
  } finally {
    const { exit } = await vesk.stop();
    assert.deepEqual(exit, { code: 0, signal: null }, vesk.transport.stderr.slice(-2000));
    await pages.close();
  }
});
