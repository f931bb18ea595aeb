// ---------------------------------------------------------------------------
// press: the events of a key in the order the browser sends them, then what
// the browser does for the key when the page left it alone. Caret moves and
// edits go through the engine's own selection and editing commands, so the
// page hears the beforeinput and input of real typing and may cancel them.

const KEY_NAMES = new Map(Object.entries({
    enter: 'Enter', return: 'Enter', tab: 'Tab', escape: 'Escape', esc: 'Escape', backspace: 'Backspace',
    delete: 'Delete', del: 'Delete', space: ' ', spacebar: ' ', arrowup: 'ArrowUp', up: 'ArrowUp',
    arrowdown: 'ArrowDown', down: 'ArrowDown', arrowleft: 'ArrowLeft', left: 'ArrowLeft', arrowright: 'ArrowRight',
    right: 'ArrowRight', home: 'Home', end: 'End', pageup: 'PageUp', pagedown: 'PageDown', insert: 'Insert',
    f1: 'F1', f2: 'F2', f3: 'F3', f4: 'F4', f5: 'F5', f6: 'F6', f7: 'F7', f8: 'F8', f9: 'F9', f10: 'F10',
    f11: 'F11', f12: 'F12',
}));
const MODIFIERS = new Map(Object.entries({
    control: 'ctrlKey', ctrl: 'ctrlKey', shift: 'shiftKey', alt: 'altKey', option: 'altKey', meta: 'metaKey',
    command: 'metaKey', cmd: 'metaKey', super: 'metaKey',
}));
// The modifier keys themselves, pressed before the key and let go after it.
const MODIFIER_KEYS = [
    { flag: 'ctrlKey', key: 'Control', code: 'ControlLeft', keyCode: 17 },
    { flag: 'shiftKey', key: 'Shift', code: 'ShiftLeft', keyCode: 16 },
    { flag: 'altKey', key: 'Alt', code: 'AltLeft', keyCode: 18 },
    { flag: 'metaKey', key: 'Meta', code: 'MetaLeft', keyCode: 91 },
];
const NAMED_KEYS = {
    Enter: 13, Tab: 9, Escape: 27, Backspace: 8, Delete: 46, ArrowUp: 38, ArrowDown: 40, ArrowLeft: 37,
    ArrowRight: 39, Home: 36, End: 35, PageUp: 33, PageDown: 34, Insert: 45,
};
// Where each character lies on a US keyboard: its code, key code and the
// character Shift gives on that key.
const PUNCTUATION = {
    '-': ['Minus', 189, '_'], '=': ['Equal', 187, '+'], '[': ['BracketLeft', 219, '{'], ']': ['BracketRight', 221, '}'],
    '\\': ['Backslash', 220, '|'], ';': ['Semicolon', 186, ':'], "'": ['Quote', 222, '"'], ',': ['Comma', 188, '<'],
    '.': ['Period', 190, '>'], '/': ['Slash', 191, '?'], '`': ['Backquote', 192, '~'],
};
const SHIFTED_DIGITS = ')!@#$%^&*(';

const isCharacter = key => [...key].length === 1;

// Modifier flags with none held.
function noModifiers() {
    return { ctrlKey: false, shiftKey: false, altKey: false, metaKey: false };
}

function parseKey(text) {
    const raw = String(text);
    let parts = raw.split('+');
    // "Control++" and "+" name the plus key itself.
    if (raw.endsWith('+')) parts = [...raw.slice(0, -1).split('+').filter(Boolean), '+'];
    const mods = noModifiers();
    const keyPart = parts.pop();
    for (const m of parts) {
        const flag = MODIFIERS.get(m.trim().toLowerCase());
        if (!flag) return null;
        mods[flag] = true;
    }
    let key;
    if (isCharacter(keyPart)) key = keyPart;
    else key = KEY_NAMES.get(keyPart.trim().toLowerCase());
    if (!key) return null;
    // Shift with a character key gives that key's other character, as
    // typing Shift+a gives "A"; a character that needs Shift holds it.
    const place = keyPlace(key);
    if (mods.shiftKey && place.shifted) key = place.shifted;
    if (place.shift) mods.shiftKey = true;
    return { key, mods };
}

// {code, keyCode, shift: the key needs Shift, shifted: what Shift gives}.
function keyPlace(key) {
    if (key in NAMED_KEYS) return { code: key, keyCode: NAMED_KEYS[key] };
    if (/^F\d+$/.test(key)) return { code: key, keyCode: 111 + Number(key.slice(1)) };
    if (key === ' ') return { code: 'Space', keyCode: 32 };
    if (/^[a-z]$/i.test(key)) {
        const upper = key.toUpperCase();
        return { code: 'Key' + upper, keyCode: upper.charCodeAt(0), shift: key === upper, shifted: key === upper ? null : upper };
    }
    if (/^\d$/.test(key)) return { code: 'Digit' + key, keyCode: key.charCodeAt(0), shifted: SHIFTED_DIGITS[Number(key)] };
    const digit = SHIFTED_DIGITS.indexOf(key);
    if (digit >= 0) return { code: 'Digit' + digit, keyCode: 48 + digit, shift: true };
    if (PUNCTUATION[key]) {
        const [code, keyCode, shifted] = PUNCTUATION[key];
        return { code, keyCode, shifted };
    }
    for (const [code, keyCode, shifted] of Object.values(PUNCTUATION)) {
        if (shifted === key) return { code, keyCode, shift: true };
    }
    return { code: '', keyCode: 0 };
}

function keyEvent(target, type, key, mods, place) {
    const charCode = type !== 'keypress' ? 0 : key === 'Enter' ? 13 : key.codePointAt(0);
    const code = type === 'keypress' ? charCode : place.keyCode;
    const init = Object.assign({
        key, code: place.code, location: place.location || 0, bubbles: true, cancelable: true, composed: true,
        view: window, keyCode: code, which: code, charCode,
    }, mods);
    return target.dispatchEvent(new KeyboardEvent(type, init));
}

function press(args) {
    if (typeof args.key !== 'string' || !args.key) {
        fail(null, 'press needs a "key" argument, such as Enter, Tab, Escape, ArrowDown or a single character.');
    }
    const parsed = parseKey(args.key);
    if (!parsed) {
        fail(null, `press does not know the key ${quote(asWritten(args, args.key))}. Name a key such as Enter, Tab, Escape, Backspace, ` +
            'ArrowDown, PageDown or a single character, with modifiers joined by + (Control+a, Shift+Tab).');
    }
    // A paste of stored values goes only into a document of the origin they
    // were copied from: one that went elsewhere meanwhile gets nothing.
    const offered = args.clipboard && typeof args.clipboard === 'object' ? args.clipboard : null;
    if (offered && offered.origin !== undefined && String(offered.origin) !== documentOrigin()) {
        fail('site_changed', 'The document is no longer the one the copied text was offered to.');
    }
    let target;
    if (args.ref !== undefined) {
        const { el, label } = elementFor(args, 'press');
        checkEnabled(el, label, 'press');
        if (!pointedAt(el)) fail('not_visible', notVisibleMessage(label, 'press a key on'));
        target = el;
        whileActing(() => {
            if (deepActiveElement() !== el) el.focus({ preventScroll: false });
        });
    } else {
        target = deepActiveElement() || document.body || document.documentElement;
        if (target && isFrame(target)) return pressInFrame(target, args, parsed);
    }
    if (!target) fail(null, 'The page has nothing to press a key on yet.');
    offeredClipboard = offered;
    copiedText = null;
    // The focus, a caret or the page may move with the key.
    scrollsItself();
    try {
        whileActing(() => pressOn(target, parsed.key, parsed.mods));
    } finally {
        offeredClipboard = null;
    }
    const copied = copiedText;
    copiedText = null;
    return copied ? { copied } : undefined;
}

// The focus is inside a frame: its own agent presses the key there. A frame
// of another origin (or a sandboxed one) keeps its document from this one:
// Tab there moves on from the frame as a whole.
function pressInFrame(frame, args, parsed) {
    let inner = null;
    try {
        inner = frame.contentDocument && frame.contentWindow.__agent;
    } catch (e) {
        inner = null;
    }
    if (!inner) {
        const reachable = (() => {
            try {
                return !!frame.contentDocument;
            } catch (e) {
                return false;
            }
        })();
        const { key, mods } = parsed;
        if (!reachable && key === 'Tab' && !mods.ctrlKey && !mods.metaKey && !mods.altKey) {
            whileActing(() => moveFocus(frame, mods.shiftKey ? -1 : 1));
            return undefined;
        }
        fail('not_found', reachable
            ? 'The focus is in a frame whose page has not started yet. Wait for the page, then press the key again.'
            : 'The focus is in a frame of another site, which a key without a ref cannot reach. Press the key ' +
              'with the ref of the field in that frame (a snapshot lists the frame\'s elements), and the key goes there.');
    }
    const forwarded = { key: args.key, written: asWritten(args, args.key) };
    if (args.clipboard !== undefined) forwarded.clipboard = args.clipboard;
    const reply = JSON.parse(inner.call('press', forwarded));
    if (!reply.ok) fail(reply.code || null, reply.message || 'The frame that has the focus could not press the key.');
    return reply.value;
}

function pressOn(start, key, mods) {
    const place = keyPlace(key);
    const held = MODIFIER_KEYS.filter(m => mods[m.flag] && m.key !== key);
    const down = noModifiers();
    for (const m of held) {
        down[m.flag] = true;
        keyEvent(start, 'keydown', m.key, Object.assign({}, down), Object.assign({ location: 1 }, m));
    }
    // Each event goes where the focus is when it is sent: a handler may move it.
    let target = start;
    const follow = before => {
        const now = deepActiveElement();
        if (now !== before) target = now || document.body || target;
    };
    let focused = deepActiveElement();
    let proceed = keyEvent(target, 'keydown', key, mods, place);
    follow(focused);
    const action = proceed ? defaultAction(target, key, mods) : null;
    if (action && action.phase === 'keydown') {
        focused = deepActiveElement();
        action.run();
        follow(focused);
    } else if (proceed && !mods.ctrlKey && !mods.metaKey && !mods.altKey && (isCharacter(key) || key === 'Enter')) {
        focused = deepActiveElement();
        proceed = target.isConnected && keyEvent(target, 'keypress', key, mods, place);
        follow(focused);
        if (proceed && action && action.phase === 'keypress') action.run();
    }
    const released = target.isConnected && keyEvent(target, 'keyup', key, mods, place);
    if (proceed && released && action && action.phase === 'keyup') action.run();
    for (const m of held.reverse()) {
        down[m.flag] = false;
        if (target.isConnected) keyEvent(target, 'keyup', m.key, Object.assign({}, down), Object.assign({ location: 1 }, m));
    }
}

const at = (phase, run) => ({ phase, run });

const TEXT_CONTROLS = /^(text|search|email|url|tel|password|number)$/;

// The element takes a caret: a text field, a textarea or editable content.
function takesCaret(el) {
    if (el.localName === 'textarea') return true;
    if (el.localName === 'input') return TEXT_CONTROLS.test(el.type);
    return el.isContentEditable;
}

const isLink = el => (el.localName === 'a' || el.localName === 'area') && el.hasAttribute('href');
const isButton = el => el.localName === 'button' || el.localName === 'summary' ||
    (el.localName === 'input' && /^(button|submit|reset|image)$/.test(el.type));

// What the browser does for the key on the element, and at which of the
// key's events: on keydown (the key then sends no keypress), on keypress,
// or on keyup (Space activates a button when it is let go).
function defaultAction(el, key, mods) {
    if (mods.altKey) return null;
    const ctrl = mods.ctrlKey || mods.metaKey;
    if (key === 'Tab' && !ctrl) return at('keydown', () => moveFocus(el, mods.shiftKey ? -1 : 1));
    if (key === 'Escape') {
        if (el.localName === 'input' && el.type === 'search' && el.value && canEdit(el)) {
            return at('keydown', () => clearSearch(el));
        }
        return at('keydown', () => escapeDefault());
    }
    const clipboard = clipboardKey(key, mods);
    if (clipboard) return at('keydown', () => clipboardDefault(el, clipboard));
    if (takesCaret(el)) return editingAction(el, key, mods, ctrl);
    if (ctrl) {
        if (key.toLowerCase() === 'a') return at('keydown', () => document.execCommand('selectAll'));
        if (key === 'Home' || key === 'End') return scrollAction(el, key, mods);
        return null;
    }
    const type = el.localName === 'input' ? el.type : '';
    // The engine itself clicks a button on the keypress of Enter.
    if (key === 'Enter') return isLink(el) ? at('keydown', () => el.click()) : null;
    if (key === ' ') {
        if (isButton(el) || type === 'checkbox' || type === 'radio') return at('keyup', () => el.click());
        if (el.localName === 'select') return null;
        return scrollAction(el, key, mods);
    }
    const arrow = { ArrowUp: -1, ArrowLeft: -1, ArrowDown: 1, ArrowRight: 1 }[key];
    if (el.localName === 'select') {
        if (key === 'Home' || key === 'End') return at('keydown', () => endOption(el, key === 'Home' ? 1 : -1));
        return arrow ? at('keydown', () => stepOption(el, arrow)) : null;
    }
    if (type === 'range' && (arrow || /^(PageUp|PageDown|Home|End)$/.test(key))) {
        return at('keydown', () => stepRange(el, key));
    }
    if (type === 'radio' && arrow && el.name) return at('keydown', () => stepRadio(el, arrow));
    return scrollAction(el, key, mods);
}

// Caret moves: [direction, granularity, granularity with Control].
const CARET_MOVES = {
    ArrowLeft: ['backward', 'character', 'word'], ArrowRight: ['forward', 'character', 'word'],
    ArrowUp: ['backward', 'line', null], ArrowDown: ['forward', 'line', null],
    Home: ['backward', 'lineboundary', 'documentboundary'], End: ['forward', 'lineboundary', 'documentboundary'],
    PageUp: ['backward', 'page', null], PageDown: ['forward', 'page', null],
};

function editingAction(el, key, mods, ctrl) {
    const writable = el.isContentEditable || (!el.readOnly && !isDisabled(el));
    if (!el.isContentEditable && deepActiveElement() !== el) return keptKeyAction(el, key, mods, writable);
    const edit = fn => writable ? at('keydown', fn) : null;
    const move = CARET_MOVES[key];
    if (move) {
        const granularity = ctrl ? move[2] : move[1];
        return granularity ? at('keydown', () => moveCaret(el, move[0], granularity, mods.shiftKey)) : null;
    }
    if (key === 'Backspace' || key === 'Delete') {
        const backward = key === 'Backspace';
        return edit(() => {
            // Control takes the word before or after the caret.
            if (ctrl && getSelection().isCollapsed) getSelection().modify('extend', backward ? 'backward' : 'forward', 'word');
            document.execCommand(backward ? 'delete' : 'forwardDelete');
        });
    }
    if (ctrl) {
        const letter = key.toLowerCase();
        if (letter === 'a') return at('keydown', () => document.execCommand('selectAll'));
        if (letter === 'z') return edit(() => document.execCommand(mods.shiftKey ? 'redo' : 'undo'));
        if (letter === 'y') return edit(() => document.execCommand('redo'));
        return null;
    }
    if (!writable) return null;
    if (key === 'Enter') {
        // The engine itself submits a field's form on the keypress of Enter.
        if (el.localName === 'input') return null;
        const paragraph = el.localName !== 'textarea' && !mods.shiftKey;
        return at('keypress', () => document.execCommand(paragraph ? 'insertParagraph' : 'insertLineBreak'));
    }
    if (isCharacter(key)) return at('keypress', () => document.execCommand('insertText', false, key));
    return null;
}

function moveCaret(el, direction, granularity, extend) {
    const selection = getSelection();
    const alter = extend ? 'extend' : 'move';
    if (granularity !== 'page') {
        selection.modify(alter, direction, granularity);
        return;
    }
    // A page of lines, as far as the box shows; a one-line field has none.
    if (el.localName === 'input') return;
    const cs = styleOf(el);
    const lineHeight = parseFloat(cs.lineHeight) || (parseFloat(cs.fontSize) || 16) * 1.2;
    const height = Math.min(el.clientHeight || window.innerHeight, window.innerHeight);
    const lines = Math.max(1, Math.floor(height * PAGE_FRACTION / lineHeight));
    for (let i = 0; i < lines; i++) selection.modify(alter, direction, 'line');
}

// A page step is this much of what the box shows; an arrow, a line step.
const PAGE_FRACTION = 0.8;
const LINE_STEP = 40;

function scrollAction(el, key, mods) {
    const arrow = {
        ArrowUp: [0, -1], ArrowDown: [0, 1], ArrowLeft: [-1, 0], ArrowRight: [1, 0],
    }[key];
    if (arrow) {
        return at('keydown', () => {
            const box = scrollerFor(arrow[0], arrow[1], el);
            if (box === window || el === document.body || containsDeep(box, el)) {
                scrollBoxBy(box, arrow[0] * LINE_STEP, arrow[1] * LINE_STEP);
            }
        });
    }
    const up = key === 'PageUp' || key === 'Home' || (key === ' ' && mods.shiftKey);
    if (!/^(PageUp|PageDown|Home|End| )$/.test(key)) return null;
    // Space scrolls as a character key does its work: on keypress.
    return at(key === ' ' ? 'keypress' : 'keydown', () => {
        const sign = up ? -1 : 1;
        const box = scrollerFor(0, sign, el);
        // A panel elsewhere on the page is not the focused element's to scroll.
        if (box !== window && el !== document.body && !containsDeep(box, el)) return;
        const whole = key === 'Home' || key === 'End';
        const page = box === window ? window.innerHeight : box.clientHeight;
        const extent = box === window ? (document.scrollingElement || document.documentElement).scrollHeight : box.scrollHeight;
        scrollBoxBy(box, 0, sign * (whole ? extent : page * PAGE_FRACTION));
    });
}

function stepOption(select, step) {
    chooseOption(select, select.selectedIndex + step, step);
}

// Home chooses the first option that can be chosen, End the last.
function endOption(select, step) {
    chooseOption(select, step > 0 ? 0 : select.options.length - 1, step);
}

// Chooses the option at `i`, or the next one on from it by `step` that is
// not disabled.
function chooseOption(select, i, step) {
    const options = Array.from(select.options);
    while (i >= 0 && i < options.length && (options[i].disabled ||
        (options[i].parentElement.localName === 'optgroup' && options[i].parentElement.disabled))) i += step;
    if (i < 0 || i >= options.length || i === select.selectedIndex) return;
    options.forEach((o, n) => { o.selected = n === i; });
    select.dispatchEvent(new Event('input', { bubbles: true, composed: true }));
    select.dispatchEvent(new Event('change', { bubbles: true }));
}

function stepRange(range, key) {
    const before = range.value;
    const min = Number(range.min || 0), max = Number(range.max || 100);
    if (key === 'Home') range.value = String(min);
    else if (key === 'End') range.value = String(max);
    else if (key === 'PageUp' || key === 'PageDown') {
        const step = Number(range.step) || 1;
        const big = Math.max(step, (max - min) / 10);
        range.value = String(Number(range.value) + (key === 'PageUp' ? big : -big));
    } else if (key === 'ArrowUp' || key === 'ArrowRight') range.stepUp();
    else range.stepDown();
    if (range.value === before) return;
    range.dispatchEvent(new Event('input', { bubbles: true, composed: true }));
    range.dispatchEvent(new Event('change', { bubbles: true }));
}

// The next radio button of the group takes the focus and is chosen.
function stepRadio(radio, step) {
    const group = Array.from(radio.getRootNode().querySelectorAll('input[type=radio]'))
        .filter(r => r.name === radio.name && r.form === radio.form && !r.disabled);
    const next = group[(group.indexOf(radio) + step + group.length) % group.length];
    if (!next || next === radio) return;
    next.focus();
    next.click();
}

// Escape empties a search field; the engine tells the page with a plain
// input event.
function clearSearch(field) {
    field.value = '';
    field.dispatchEvent(new Event('input', { bubbles: true, composed: true }));
}

function escapeDefault() {
    const dialog = Array.from(document.querySelectorAll('dialog[open]')).reverse().find(d => matchesSafe(d, ':modal'));
    if (dialog) {
        if (dialog.dispatchEvent(new Event('cancel', { cancelable: true }))) dialog.close();
        return;
    }
    const popover = Array.from(document.querySelectorAll('[popover]')).reverse().find(p => matchesSafe(p, ':popover-open'));
    if (popover && popover.hidePopover) popover.hidePopover();
}
