// ---------------------------------------------------------------------------
// status: what keeps the page from being at rest.

let lastChange = 0;
let lastChanged = null;
// The start of the last frame the page was given. A change is known to be
// over only once a frame has begun after it: while WebKit holds the page's
// frames back, a page that changes at every frame cannot change, and would
// otherwise look quiet. A page that is given no frames at all is judged by
// time alone once `FRAME_WAIT_MS` have passed.
let lastFrame = -1;
let frameAsked = false;
const FRAME_WAIT_MS = 1000;

function askFrame() {
    if (frameAsked) return;
    frameAsked = true;
    try {
        requestAnimationFrame(time => {
            frameAsked = false;
            lastFrame = time;
            // A scroll moves at every frame: one without a step ends it,
            // and the next frame tells whether it only paused.
            const scrollEnds = !!scrolling && !scrolling.stopped && time > scrolling.last;
            if (scrollEnds) scrolling.stopped = time;
            // The change came during this frame: only the next one shows it over.
            if (time <= lastChange || time <= actionEnded || scrollEnds || (scrolling && !scrolling.stopped)) askFrame();
        });
    } catch (e) {
        frameAsked = false;
    }
}
askFrame();

// Scrolling: a box whose position moves from frame to frame (a smooth
// scroll, a snap) is a page still changing, and its last step is a change
// the page may answer a moment later (a page without a scrollend event waits
// for the steps to stop). A jump in one step is over once it is made.
let scrolling = null;  // {target, first, last, steps, stopped}

window.addEventListener('scroll', e => {
    if (!e.isTrusted) return;
    const now = performance.now();
    // A step in the frame right after the one without any goes on the same
    // scroll (its easing paused a frame).
    if (scrolling && scrolling.stopped === lastFrame && now - scrolling.last < 100) scrolling.stopped = null;
    if (!scrolling || scrolling.stopped) scrolling = { target: e.target, first: now, last: now, steps: 0, stopped: null };
    scrolling.target = e.target;
    scrolling.last = now;
    scrolling.steps++;
    askFrame();
}, { capture: true, passive: true });

// The last scroll that moved over frames, or null. One that has moved on
// its own since well before the agent's last action (a ticker) holds
// nothing.
function scrolled() {
    const s = scrolling;
    if (!s || s.steps < 2 || (actionBegan !== null && s.first < actionBegan && s.last - s.first > LONG_MS)) return null;
    return s;
}

// What still scrolls: no frame has yet come without a step of it.
function stillScrolling() {
    const s = scrolled();
    if (!s || s.stopped || performance.now() - s.last >= FRAME_WAIT_MS) return null;
    return s.target === document ? document.scrollingElement || document.documentElement : s.target;
}

const NOISE_TAGS = new Set(['script', 'style', 'link', 'meta', 'noscript', 'template', 'title', 'head', 'base']);

function noticeMutations(records) {
    for (let i = records.length - 1; i >= 0; i--) {
        const r = records[i];
        const target = r.target.nodeType === 1 ? r.target : r.target.parentElement;
        if (!target || NOISE_TAGS.has(target.localName)) continue;
        if (r.type === 'childList') {
            const nodes = [...r.addedNodes, ...r.removedNodes];
            if (nodes.length && nodes.every(n => n.nodeType === 1 && NOISE_TAGS.has(n.localName) || n.nodeType === 8)) continue;
        }
        if (target.closest && target.closest('head')) continue;
        lastChange = performance.now();
        lastChanged = target;
        askFrame();
        return;
    }
}

try {
    new MutationObserver(noticeMutations).observe(document, {
        subtree: true, childList: true, attributes: true, characterData: true,
    });
} catch (e) { /* no document to watch */ }

const LOADING_LOOK = /spin|load|progress|busy|skeleton|shimmer|wait|pending/i;
// What only decorates while it runs: a bar that counts a toast's time down,
// a pulse.
const DECORATION_LOOK = /progress|countdown|timer|toast|snackbar|pulse|blink|glow/i;
// Longer than this, an animation brings nothing into place that a person
// waits for: menus, dialogs and panels arrive well within it.
const LONG_MS = 1000;

// Whether the element, or one of the three around it, says it is `look`.
function looksLike(el, look) {
    for (let node = el, depth = 0; node && node.nodeType === 1 && depth < 4; node = flatParent(node), depth++) {
        const hint = node.localName + ' ' + (node.getAttribute('class') || '') + ' ' + node.id + ' ' +
            (node.getAttribute('role') || '') + ' ' + (node.getAttribute('aria-label') || '');
        if (look.test(hint) || (look === LOADING_LOOK && node.getAttribute('aria-busy') === 'true')) return true;
    }
    return false;
}

// Whether a running animation holds the page: on something rendered, and
// one that may still bring something into place. An endless one holds only
// as a loading indicator (an endless decoration would hold it forever); a
// long or endless one that ran before the agent's last action began is the
// page's own, and a long one that decorates holds nothing.
function holdsThePage(animation) {
    if (animation.playState !== 'running') return false;
    const effect = animation.effect;
    const target = effect && effect.target;
    if (!target || target.nodeType !== 1 || !target.isConnected || !target.checkVisibility()) return false;
    const timing = effect.getComputedTiming();
    const endless = timing.endTime === Infinity || timing.activeDuration === Infinity;
    const long = endless || timing.endTime > LONG_MS;
    if (long && actionBegan !== null && animation.startTime !== null && animation.startTime < actionBegan) return false;
    if (endless) return looksLike(target, LOADING_LOOK);
    return !long || !(looksLike(target, DECORATION_LOOK) || DECORATION_LOOK.test(animation.animationName || ''));
}

function runningAnimation() {
    if (typeof document.getAnimations !== 'function') return null;
    for (const animation of document.getAnimations()) {
        if (holdsThePage(animation)) return animation;
    }
    return null;
}

function status() {
    const now = performance.now();
    const scroll = scrolled();
    const scrolledLast = scroll && scroll.last > lastChange;
    const changed = scrolledLast ? scroll.last : lastChange;
    const since = Math.max(0, now - changed);
    // The agent's action too is over only once a frame has shown it: what it
    // set going (a smooth scroll) moves from that frame on.
    const awaited = Math.max(changed, actionEnded);
    const reply = {
        readyState: document.readyState,
        quietMs: lastFrame > awaited || now - awaited >= FRAME_WAIT_MS ? since : 0,
        animating: false,
    };
    const what = scrolledLast ? scroll.target : lastChanged;
    if (what) reply.mutated = describeNode(what === document ? document.documentElement : what);
    const animation = runningAnimation();
    const scroller = animation ? null : stillScrolling();
    if (animation) {
        reply.animating = true;
        const what = animation.animationName || animation.transitionProperty || animation.id;
        reply.animated = describeNode(animation.effect.target) + (what ? ` (${what})` : '');
    } else if (scroller) {
        reply.animating = true;
        reply.animated = describeNode(scroller) + ' (scroll)';
    }
    return reply;
}

