// ---------------------------------------------------------------------------
// A text field that the engine keeps the focus from (in a frame of another
// site, which a script may not give the focus) has no caret of the engine's.
// Its keys move and edit a selection kept here: where the last key left it,
// or where the field's own selection was put since (a person's click, the
// page), at the end of the text at first and whenever the text was replaced.

const keptSelections = new WeakMap();  // field -> {anchor, focus, value}
const graphemes = new Intl.Segmenter(undefined, { granularity: 'grapheme' });
const words = new Intl.Segmenter(undefined, { granularity: 'word' });

// The field's own selection, where its type has one.
function ownSelection(field) {
    try {
        if (field.selectionStart === null) return null;
        const backward = field.selectionDirection === 'backward';
        return { anchor: backward ? field.selectionEnd : field.selectionStart, focus: backward ? field.selectionStart : field.selectionEnd };
    } catch (e) {
        return null;
    }
}

function keptSelection(field) {
    const value = field.value;
    const kept = keptSelections.get(field);
    if (!kept || kept.value !== value) return { anchor: value.length, focus: value.length, value };
    const own = ownSelection(field);
    const same = !own || (Math.min(own.anchor, own.focus) === Math.min(kept.anchor, kept.focus) &&
        Math.max(own.anchor, own.focus) === Math.max(kept.anchor, kept.focus));
    return same ? kept : Object.assign(own, { value });
}

function keep(field, anchor, focus) {
    keptSelections.set(field, { anchor, focus, value: field.value });
    try {
        field.setSelectionRange(Math.min(anchor, focus), Math.max(anchor, focus), focus < anchor ? 'backward' : 'forward');
    } catch (e) {
        // A field type without a selection of its own keeps only ours.
    }
}

// Places in the text: the next and previous character as a person sees it,
// word ends and starts, line starts and ends.
function nextCharacter(text, i) {
    if (i >= text.length) return text.length;
    const s = graphemes.segment(text).containing(i);
    return s.index + s.segment.length;
}

function previousCharacter(text, i) {
    return i <= 0 ? 0 : graphemes.segment(text).containing(i - 1).index;
}

// A number is a word to the caret too, which this engine's segmenter does
// not call word-like.
const isWord = s => s.isWordLike || /[\p{L}\p{N}]/u.test(s.segment);

function wordEnd(text, i) {
    for (const s of words.segment(text)) {
        if (isWord(s) && s.index + s.segment.length > i) return s.index + s.segment.length;
    }
    return text.length;
}

function wordStart(text, i) {
    let start = 0;
    for (const s of words.segment(text)) {
        if (s.index >= i) break;
        if (isWord(s)) start = s.index;
    }
    return start;
}

const lineStart = (text, i) => text.lastIndexOf('\n', i - 1) + 1;
const lineEnd = (text, i) => {
    const end = text.indexOf('\n', i);
    return end < 0 ? text.length : end;
};

// Where a caret move takes the caret from `at`, as the engine moves it.
function movedTo(field, text, at, key, ctrl) {
    const multiline = field.localName === 'textarea';
    switch (key) {
    case 'ArrowLeft': return ctrl ? wordStart(text, at) : previousCharacter(text, at);
    case 'ArrowRight': return ctrl ? wordEnd(text, at) : nextCharacter(text, at);
    case 'Home': return ctrl || !multiline ? 0 : lineStart(text, at);
    case 'End': return ctrl || !multiline ? text.length : lineEnd(text, at);
    case 'ArrowUp':
    case 'ArrowDown': {
        if (ctrl) return null;
        const start = lineStart(text, at);
        const up = key === 'ArrowUp';
        if (!multiline || (up ? start === 0 : lineEnd(text, at) === text.length)) return up ? 0 : text.length;
        const other = up ? lineStart(text, start - 1) : lineEnd(text, at) + 1;
        return Math.min(other + (at - start), lineEnd(text, other));
    }
    default: return null;
    }
}

// Replaces the kept selection with the text, as an edit of that kind, and
// leaves the caret after it.
function keptReplace(field, text, inputType, range) {
    const value = field.value;
    const kept = keptSelection(field);
    let { start, end } = range || { start: Math.min(kept.anchor, kept.focus), end: Math.max(kept.anchor, kept.focus) };
    if (field.localName === 'input') text = text.replace(/[\r\n]+/g, '');
    if (field.maxLength >= 0) text = text.slice(0, Math.max(0, field.maxLength - (value.length - (end - start))));
    if (!text && start === end) return;
    const init = editEvents(field, inputType, inputType.startsWith('insert') ? text : null);
    if (!field.dispatchEvent(new InputEvent('beforeinput', init))) return;
    if (field.value !== value) return;  // the page changed the text itself
    field.value = value.slice(0, start) + text + value.slice(end);
    keep(field, start + text.length, start + text.length);
    field.dispatchEvent(new InputEvent('input', Object.assign(init, { cancelable: false })));
}

// What a key does in such a field, or null.
function keptKeyAction(field, key, mods, writable) {
    const ctrl = mods.ctrlKey || mods.metaKey;
    const value = () => field.value;
    if (ctrl && key.toLowerCase() === 'a') return at('keydown', () => keep(field, 0, value().length));
    if (key in CARET_MOVES) {
        return at('keydown', () => {
            const text = value();
            const kept = keptSelection(field);
            const start = Math.min(kept.anchor, kept.focus), end = Math.max(kept.anchor, kept.focus);
            // An arrow without Shift first collapses a selection to its side.
            if (!mods.shiftKey && start !== end && !ctrl && (key === 'ArrowLeft' || key === 'ArrowRight')) {
                const side = key === 'ArrowLeft' ? start : end;
                keep(field, side, side);
                return;
            }
            const to = movedTo(field, text, kept.focus, key, ctrl);
            if (to === null) return;
            keep(field, mods.shiftKey ? kept.anchor : to, to);
        });
    }
    if (!writable) return null;
    if (key === 'Backspace' || key === 'Delete') {
        const backward = key === 'Backspace';
        return at('keydown', () => {
            const text = value();
            const kept = keptSelection(field);
            let start = Math.min(kept.anchor, kept.focus), end = Math.max(kept.anchor, kept.focus);
            if (start === end) {
                if (backward) start = ctrl ? wordStart(text, start) : previousCharacter(text, start);
                else end = ctrl ? wordEnd(text, end) : nextCharacter(text, end);
            }
            const kind = (ctrl ? 'deleteWord' : 'deleteContent') + (backward ? 'Backward' : 'Forward');
            keptReplace(field, '', kind, { start, end });
        });
    }
    if (ctrl) return null;
    if (key === 'Enter') {
        // The engine itself submits a field's form on the keypress of Enter.
        return field.localName === 'textarea' ? at('keypress', () => keptReplace(field, '\n', 'insertLineBreak')) : null;
    }
    if (isCharacter(key)) return at('keypress', () => keptReplace(field, key, 'insertText'));
    return null;
}
