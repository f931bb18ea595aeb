// ---------------------------------------------------------------------------
// Icons that show the pointer hand without a name (a date picker's month
// arrows): described by a title the icon keeps from assistive technology,
// else by the words of its class names, else by the text beside it.

// Words of class names that say what an element looks like, not what it does.
const CLASS_NOISE = new Set(['icon', 'icons', 'svg', 'img', 'image', 'btn', 'button', 'wrapper', 'wrap', 'container',
    'inner', 'root', 'cursor', 'pointer', 'hidden', 'active', 'disabled', 'visible', 'show', 'open']);
// A class name of words: "next-month", "nav__next", "arrowUp".
const WORDY_CLASS = /^[a-z]+(?:[A-Z][a-z]+)*(?:[-_]+[a-z]+(?:[A-Z][a-z]+)*)*$/;
const ICON_WORDS = 6;

function iconWords(el) {
    const titled = el.querySelector('[title], svg title');
    if (titled) {
        const title = collapse(titled.localName === 'title' ? titled.textContent : titled.getAttribute('title'));
        if (title) return cut(title, NAME_LIMIT);
    }
    const words = [];
    const parts = [el, ...Array.prototype.slice.call(el.querySelectorAll('svg, i, img, span, use'), 0, 4)];
    for (const part of parts) {
        for (const token of (part.getAttribute('class') || '').split(/\s+/)) {
            if (!WORDY_CLASS.test(token)) continue;
            const split = token.replace(/([a-z])([A-Z])/g, '$1 $2').toLowerCase().split(/[-_ ]+/);
            // Words without a vowel ("sc-bd…") are a tool's hash, not words.
            if (split.filter(w => !/[aeiouy]/.test(w)).length > 1) continue;
            for (const w of split) {
                if (w.length > 1 && !CLASS_NOISE.has(w) && !words.includes(w)) words.push(w);
            }
        }
    }
    return cut(words.slice(0, ICON_WORDS).join(' '), NAME_LIMIT);
}

// Where an element without a name lies: after the nearest text before it,
// or before the nearest text after it, within its parent and the two above.
function placeOf(el) {
    const textOf = node => node.nodeType === 3 ? collapse(node.data)
        : node.nodeType === 1 && !SKIP_TAGS.has(node.localName) && node.checkVisibility() ? collapse(visibleText(node)) : '';
    for (let node = el, depth = 0; node && node.nodeType === 1 && depth < 3; node = flatParent(node), depth++) {
        for (let s = node.previousSibling; s; s = s.previousSibling) {
            const t = textOf(s);
            if (t) return 'after ' + cut(t, CONTEXT_LIMIT - 6);
        }
        for (let s = node.nextSibling; s; s = s.nextSibling) {
            const t = textOf(s);
            if (t) return 'before ' + cut(t, CONTEXT_LIMIT - 7);
        }
    }
    return '';
}
