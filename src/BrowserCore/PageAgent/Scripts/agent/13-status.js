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
// The agent's action is over only once two frames have begun after it: what
// it set going (a smooth scroll) may first move in the second on a busy
// machine, whose scrolls step apart from the frames.
const ACTION_FRAMES = 2;
let framesSinceAction = ACTION_FRAMES;

function askFrame() {
    if (frameAsked) return;
    frameAsked = true;
    try {
        requestAnimationFrame(time => {
            frameAsked = false;
            lastFrame = time;
            ownScrollShowing = false;
            if (time > actionEnded) framesSinceAction++;
            // The change came during this frame: only the next one shows it over.
            if (time <= lastChange || framesSinceAction < ACTION_FRAMES || (scrolling && time <= scrolling.last)) askFrame();
        });
    } catch (e) {
        frameAsked = false;
    }
}
askFrame();

// Scrolling: each step of a box's scroll (a smooth scroll's at every frame,
// a snap's) is a change of what the page shows, and the page may answer its
// last a moment later (a page without a scrollend event waits for the steps
// to stop). The box is still moving while its steps come less than
// `SCROLL_GAP_MS` apart. The agent's own scrolls are no change of the
// page's.
const SCROLL_GAP_MS = 100;
let scrolling = null;  // {target, first, last}: the page's scroll, from its first step to its last

window.addEventListener('scroll', e => {
    if (!e.isTrusted || ownScrollShowing) return;
    const now = performance.now();
    if (!scrolling || now - scrolling.last >= SCROLL_GAP_MS) scrolling = { first: now };
    scrolling.target = e.target === document ? document.scrollingElement || document.documentElement : e.target;
    scrolling.last = now;
    askFrame();
}, { capture: true, passive: true });

// The page's last scroll, or null. One that has moved on its own since well
// before the agent's last action (a ticker) changes nothing.
function scrolled() {
    const s = scrolling;
    return s && !(actionBegan !== null && s.first < actionBegan && s.last - s.first > LONG_MS) ? s : null;
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
    const scrolledLast = !!scroll && scroll.last > lastChange;
    const changed = scrolledLast ? scroll.last : lastChange;
    const since = Math.max(0, now - changed);
    const framed = lastFrame > changed && framesSinceAction >= ACTION_FRAMES;
    const reply = {
        readyState: document.readyState,
        quietMs: framed || now - Math.max(changed, actionEnded) >= FRAME_WAIT_MS ? since : 0,
        animating: false,
    };
    const changedLast = scrolledLast ? scroll.target : lastChanged;
    if (changedLast) reply.mutated = describeNode(changedLast);
    const animation = runningAnimation();
    if (animation) {
        reply.animating = true;
        const what = animation.animationName || animation.transitionProperty || animation.id;
        reply.animated = describeNode(animation.effect.target) + (what ? ` (${what})` : '');
    } else if (scroll && now - scroll.last < SCROLL_GAP_MS) {
        reply.animating = true;
        reply.animated = describeNode(scroll.target) + ' (scroll)';
    }
    return reply;
}

