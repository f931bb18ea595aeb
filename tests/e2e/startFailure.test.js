// A vesk that dies at start fails the start at once, saying how it ended,
// also while a process it started still holds its output open; the pages a
// test served for it keep nothing waiting once the test has failed.

import assert from 'node:assert/strict';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';

import { startPages } from './support/pages.js';
import { startVesk } from './support/vesk.js';

test('a vesk that dies at start fails at once and says how', { timeout: 60000 }, async () => {
  // Served first and never closed, as a test that fails at the start leaves them.
  await startPages();
  const command = fileURLToPath(new URL('./support/dies-at-start.sh', import.meta.url));
  const failure = await startVesk({ command }).then(() => null, (error) => error);
  const left = Number(/left behind (\d+)/.exec(failure?.message ?? '')?.[1]);
  if (left) process.kill(left);
  assert.match(failure?.message ?? '', /^vesk ended before it answered: exit status 3\. It wrote:[^]*could not start/);
});
