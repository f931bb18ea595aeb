// The X windows a process shows on the test's display, found with the
// x11-utils tools: the names of its top-level windows that are mapped.

import { execFileSync } from 'node:child_process';

function run(command, args) {
  try {
    return execFileSync(command, args, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] });
  } catch {
    return '';
  }
}

export function shownWindows(pid) {
  const names = [];
  const tree = run('xwininfo', ['-root', '-children']);
  for (const [, id] of tree.matchAll(/^\s+(0x[0-9a-f]+) /gm)) {
    const properties = run('xprop', ['-id', id, '_NET_WM_PID', 'WM_NAME']);
    if (!new RegExp(`_NET_WM_PID\\(CARDINAL\\) = ${pid}$`, 'm').test(properties)) continue;
    if (!/Map State: IsViewable/.test(run('xwininfo', ['-id', id]))) continue;
    // Stages lie far off every screen; a window the person can see does not.
    const corner = run('xwininfo', ['-id', id]).match(/Absolute upper-left X:\s+(-?\d+)/);
    if (corner && Number(corner[1]) < -10000) continue;
    names.push(properties.match(/WM_NAME\(\w+\) = "(.*)"/)?.[1] ?? '');
  }
  return names;
}
