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
            // The change came during this frame: only the next one shows it over.
            if (time <= lastChange) askFrame();
        });
    } catch (e) {
        frameAsked = false;
    }
}
askFrame();

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

function looksLikeLoading(el) {
    for (let node = el, depth = 0; node && node.nodeType === 1 && depth < 4; node = flatParent(node), depth++) {
        const hint = (node.getAttribute('class') || '') + ' ' + node.id + ' ' + (node.getAttribute('role') || '') +
            ' ' + (node.getAttribute('aria-label') || '');
        if (LOADING_LOOK.test(hint) || node.getAttribute('aria-busy') === 'true') return true;
    }
    return false;
}

// Animations that hold the page: running, on something rendered, finite or
// a loading indicator (an endless decoration would hold it forever).
function runningAnimation() {
    if (typeof document.getAnimations !== 'function') return null;
    for (const animation of document.getAnimations()) {
        if (animation.playState !== 'running') continue;
        const effect = animation.effect;
        const target = effect && effect.target;
        if (!target || target.nodeType !== 1 || !target.isConnected || !target.checkVisibility()) continue;
        const timing = effect.getComputedTiming();
        if (timing.endTime === Infinity || timing.activeDuration === Infinity) {
            if (!looksLikeLoading(target)) continue;
        }
        return animation;
    }
    return null;
}

function status() {
    const since = Math.max(0, performance.now() - lastChange);
    const reply = {
        readyState: document.readyState,
        quietMs: lastFrame > lastChange || since >= FRAME_WAIT_MS ? since : 0,
        animating: false,
    };
    if (lastChanged) reply.mutated = describeNode(lastChanged);
    const animation = runningAnimation();
    if (animation) {
        reply.animating = true;
        const what = animation.animationName || animation.transitionProperty || animation.id;
        reply.animated = describeNode(animation.effect.target) + (what ? ` (${what})` : '');
    }
    return reply;
}

