// The end of standard input ends vesk cleanly however the session went: here
// with a window the page opened shown in the sheet over the page.

import assert from 'node:assert/strict';
import { test } from 'node:test';

import { startPages } from './support/pages.js';
import { firstText, startVesk, waitFor } from './support/vesk.js';

test('vesk ends with status 0 when input ends while a popup shows in the sheet', async () => {
  const pages = await startPages();
  const vesk = await startVesk();
  try {
    const call = async (name, args) => {
      const result = await vesk.client.callTool({ name, arguments: args });
      assert.equal(result.isError, false, `${name}: ${firstText(result)}`);
      return firstText(result);
    };
    await call('navigate', { url: pages.url('/') });
    await call('evaluate', { script: 'window.open("/popup"); return 1' });
    await waitFor(async () => /This is the popup/.test(await call('window', { window: 'w1' })), { what: 'the popup' });
  } finally {
    const { exit } = await vesk.stop();
    await pages.close();
    assert.deepEqual(exit, { code: 0, signal: null }, vesk.transport.stderr.slice(-2000));
  }
});
