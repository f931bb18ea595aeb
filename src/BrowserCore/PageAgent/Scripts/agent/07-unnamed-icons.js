// ---------------------------------------------------------------------------
// Icons that show the pointer hand without a name (a date picker's month
// arrows), and controls whose only name is a glyph: described by a title the
// icon keeps from assistive technology, else by the words of its class names
// and of what its markup says it does, else by the text beside it.

// Words of class names that say what an element looks like, not what it does.
const CLASS_NOISE = new Set(['icon', 'icons', 'svg', 'img', 'image', 'btn', 'button', 'wrapper', 'wrap', 'container',
    'inner', 'root', 'cursor', 'pointer', 'hidden', 'active', 'disabled', 'visible', 'show', 'open', 'notranslate',
    'clickable']);
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
            for (const w of wordsOf(token)) {
                if (!CLASS_NOISE.has(w) && !words.includes(w)) words.push(w);
            }
        }
    }
    // What tells icons of one look apart is kept whatever the class words.
    const doing = actionWords(el, parts).filter(w => !words.includes(w));
    return cut([...words.slice(0, Math.max(0, ICON_WORDS - doing.length)), ...doing].join(' '), NAME_LIMIT);
}

// The words of a name made of words ("next-month", "nav__next", "arrowUp");
// none for a name that reads as a tool's hash.
function wordsOf(token) {
    if (!WORDY_CLASS.test(token)) return [];
    const split = token.replace(/([a-z])([A-Z])/g, '$1 $2').toLowerCase().split(/[-_ ]+/);
    // Words without a vowel ("sc-bd…") are a tool's hash, not words.
    if (split.filter(w => !/[aeiouy]/.test(w)).length > 1) return [];
    return split.filter(w => w.length > 1);
}

// What the markup of an icon says it does: the action its page's script
// reads, the panel it controls, a direction in a class name the words above
// miss ("chevron-left2") or in the drawing it uses.
const DIRECTION = /(?:^|[^a-z])(prev|previous|next|back|forward|left|right|up|down|first|last|increase|decrease|increment|decrement)(?![a-z])/gi;
function actionWords(el, parts) {
    const words = [];
    const add = list => {
        for (const w of list) if (!words.includes(w)) words.push(w);
    };
    add(wordsOf(el.getAttribute('data-action') || ''));
    add(wordsOf(el.getAttribute('aria-controls') || ''));
    for (const part of parts) {
        const marks = (part.getAttribute('class') || '') + ' ' + (part.getAttribute('href') || '') + ' ' +
            (part.getAttribute('xlink:href') || '');
        for (const m of marks.matchAll(DIRECTION)) add([m[1].toLowerCase()]);
    }
    return words;
}

// Where an element without a name lies: after the nearest text before it,
// or before the nearest text after it, within its parent and the two above.
// The side is this agent's word, the text the page's.
function placeOf(el) {
    const textOf = node => node.nodeType === 3 ? collapse(node.data)
        : node.nodeType === 1 && !SKIP_TAGS.has(node.localName) && node.checkVisibility() ? collapse(visibleText(node)) : '';
    for (let node = el, depth = 0; node && node.nodeType === 1 && depth < 3; node = flatParent(node), depth++) {
        for (let s = node.previousSibling; s; s = s.previousSibling) {
            const text = textOf(s);
            if (text) return { side: 'after', text };
        }
        for (let s = node.nextSibling; s; s = s.nextSibling) {
            const text = textOf(s);
            if (text) return { side: 'before', text };
        }
    }
    return null;
}
