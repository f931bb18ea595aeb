// The first page of a freshly started vesk is watched like every later one:
// a page that changes at every frame holds the settle of its navigate.

import assert from 'node:assert/strict';
import { test } from 'node:test';

import { startPages } from './support/pages.js';
import { firstText, startVesk, waitFor } from './support/vesk.js';

test('the first call of a fresh vesk loads a page that animates every frame, and its settle is held', async () => {
  const pages = await startPages();
  const vesk = await startVesk({ timings: { settleTimeout: 2 } });
  try {
    const loaded = await vesk.client.callTool({ name: 'navigate', arguments: { url: pages.url('/frames') } });
    assert.equal(loaded.isError, false, firstText(loaded));
    const phases = loaded._meta?.['vesk/phases'];
    assert.equal(phases?.settled, false, JSON.stringify(phases));
    assert.ok(phases.held.changes >= 1.5, JSON.stringify(phases));

    // The page goes on drawing once the navigate answered: a page left
    // unrendered would stop counting. How fast it counts depends on the
    // machine's load, so the count is awaited, not read once.
    await waitFor(async () => {
      const seen = firstText(await vesk.client.callTool({ name: 'evaluate', arguments: { script: 'return frames' } }));
      return Number(seen.match(/\| (\d+)/)?.[1]) > 60;
    }, { what: '60 frames drawn after the navigate' });
  } finally {
    const { exit } = await vesk.stop();
    assert.deepEqual(exit, { code: 0, signal: null }, vesk.transport.stderr.slice(-2000));
    await pages.close();
  }
});
