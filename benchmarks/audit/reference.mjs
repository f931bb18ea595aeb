// The reference half of the element-list audit: loads each audited page in
// Chromium (Debian's, driven by playwright-core) and reads, for every element
// that Vesk listed, the role and name that Chromium's accessibility tree gives
// it. The element is found as Vesk located it: its frame's place among the
// frames, and its CSS selector (">>>" steps into a shadow root).
//   node reference.mjs VESK.json OUT.json
// Writes {url: {ref: {role, name, ignored} | {missing: why}}}.

import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { chromium } from 'playwright-core';

const [vesk, out] = process.argv.slice(2);
const pages = JSON.parse(readFileSync(vesk, 'utf8'));

// Where this frame lies among the frames of the window above it, outermost
// first; and the element a selector names (as the audit's checks find it).
const framePath = `(() => {
  const path = [];
  for (let w = window; w !== w.top; w = w.parent) {
    let index = -1;
    for (let i = 0; i < w.parent.length; i++) if (w.parent[i] === w) index = i;
    path.unshift(index);
  }
  return JSON.stringify(path);
})()`;
const element = (selector) => `(() => {
  let scopes = [document];
  const parts = ${JSON.stringify(selector)}.split('>>>').map(s => s.trim());
  parts.forEach((part, i) => {
    const found = [];
    for (const scope of scopes) for (const el of scope.querySelectorAll(part)) {
      if (i === parts.length - 1) found.push(el);
      else if (el.shadowRoot) found.push(el.shadowRoot);
    }
    scopes = found;
  });
  return scopes[0] || null;
})()`;

const profile = mkdtempSync(join(tmpdir(), 'vesk-audit-chromium-'));
const viewport = pages[0]?.frames?.[0]?.viewport;
const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium',
  headless: true,
  viewport: viewport ? { width: viewport.width, height: viewport.height } : { width: 1280, height: 900 },
  // Every frame in one renderer, so that one session reaches them all.
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--disable-site-isolation-trials',
    '--disable-features=IsolateOrigins,site-per-process'],
});

const frameWorlds = async (cdp) => {
  const worlds = new Map();
  const visit = async (tree) => {
    try {
      const { executionContextId } = await cdp.send('Page.createIsolatedWorld', { frameId: tree.frame.id, worldName: 'vesk-audit' });
      const { result } = await cdp.send('Runtime.evaluate', { expression: framePath, contextId: executionContextId, returnByValue: true });
      worlds.set(result.value, executionContextId);
    } catch {
      // a frame that went away meanwhile
    }
    for (const child of tree.childFrames || []) await visit(child);
  };
  await visit((await cdp.send('Page.getFrameTree')).frameTree);
  return worlds;
};

const answer = {};
for (const audited of pages) {
  const found = (answer[audited.url] = {});
  const page = await context.newPage();
  try {
    process.stderr.write(`chromium: ${audited.url}\n`);
    await page.goto(audited.url, { waitUntil: 'load', timeout: 30000 });
    await page.waitForLoadState('networkidle', { timeout: 5000 }).catch(() => {});
    const cdp = await context.newCDPSession(page);
    await cdp.send('DOM.enable');
    await cdp.send('Accessibility.enable');
    const worlds = await frameWorlds(cdp);
    for (const [ref, listed] of Object.entries(audited.elements)) {
      const selector = listed.locator?.selector;
      const world = worlds.get(JSON.stringify(listed.framePath || []));
      if (!selector || world === undefined) {
        found[ref] = { missing: selector ? 'its frame is not in Chromium\'s page' : 'Vesk gave no selector' };
        continue;
      }
      try {
        const { result } = await cdp.send('Runtime.evaluate', { expression: element(selector), contextId: world });
        if (!result.objectId) {
          found[ref] = { missing: 'the selector finds nothing in Chromium\'s page' };
          continue;
        }
        const { node } = await cdp.send('DOM.describeNode', { objectId: result.objectId });
        const { nodes } = await cdp.send('Accessibility.getPartialAXTree', { backendNodeId: node.backendNodeId, fetchRelatives: false });
        const own = nodes.find((n) => n.backendDOMNodeId === node.backendNodeId) || nodes[0];
        found[ref] = own
          ? { role: own.role?.value ?? '', name: own.name?.value ?? '', ignored: !!own.ignored }
          : { missing: 'Chromium has no accessible node for it' };
      } catch (error) {
        found[ref] = { missing: `Chromium could not read it (${error.message.split('\n')[0]})` };
      }
    }
    await cdp.detach();
  } catch (error) {
    found.error = error.message.split('\n')[0];
  }
  await page.close();
}
await context.close();
rmSync(profile, { recursive: true, force: true });
writeFileSync(out, JSON.stringify(answer, null, 1));
