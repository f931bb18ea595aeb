// ---------------------------------------------------------------------------
// Clipboard keys. The clipboard is the session's, never the desktop's: a copy
// or cut answers the text to the session, and a paste is handed the text as
// an argument, so a page reads it only from the paste event it is given.

// The text a paste key offers (the press's "clipboard" argument) and what a
// copy or cut took, for the press's reply.
let offeredClipboard = null;
let copiedText = null;

// A copy longer than this keeps its start: a page's copy handler could set
// any amount.
const COPY_LIMIT = 1000000;

// What the key does with the clipboard, as on this platform: Control with c,
// x or v, Control+Insert, Shift+Insert and Shift+Delete.
function clipboardKey(key, mods) {
    if (mods.altKey) return null;
    const ctrl = mods.ctrlKey || mods.metaKey;
    const table = ctrl && !mods.shiftKey ? { c: 'copy', x: 'cut', v: 'paste', Insert: 'copy' }
        : mods.shiftKey && !ctrl ? { Insert: 'paste', Delete: 'cut' } : {};
    return Object.prototype.hasOwnProperty.call(table, key) ? table[key] : null;
}

const isTextField = el => el.localName === 'textarea' || (el.localName === 'input' && TEXT_CONTROLS.test(el.type));

// The editable area (its outermost editable element) that holds the node.
function editingHost(node) {
    let el = node && node.nodeType === 3 ? node.parentElement : node;
    if (!el || el.nodeType !== 1 || !el.isContentEditable) return null;
    while (el.parentElement && el.parentElement.isContentEditable) el = el.parentElement;
    return el;
}

// The element where the document's selection begins: clipboard events go
// there, as the browser sends them.
function selectionElement() {
    const selection = getSelection();
    const node = selection && selection.rangeCount ? selection.anchorNode : null;
    return node ? (node.nodeType === 1 ? node : node.parentElement) : null;
}

// A text field's selection: the engine's while the field has the focus,
// else the one kept for it.
function fieldSelection(field) {
    if (deepActiveElement() !== field) {
        const kept = keptSelection(field);
        return { start: Math.min(kept.anchor, kept.focus), end: Math.max(kept.anchor, kept.focus) };
    }
    if (field.selectionStart === null) {
        const length = field.value.length;
        return getSelection().toString() ? { start: 0, end: length } : { start: length, end: length };
    }
    return { start: field.selectionStart, end: field.selectionEnd };
}

const canEdit = el => el.isContentEditable || (!el.readOnly && !isDisabled(el));

function clipboardEvent(target, type, data) {
    return target.dispatchEvent(new ClipboardEvent(type, {
        bubbles: true, cancelable: true, composed: true, clipboardData: data,
    }));
}

// What goes to the session: the text, this document's origin, and the ref
// of the field or editable area it came from, whose typed values the session
// knows.
function copyOf(text, source) {
    const n = source ? refOf.get(source) : undefined;
    const copy = { text: text.length > COPY_LIMIT ? text.slice(0, COPY_LIMIT) : text, origin: documentOrigin() };
    if (n !== undefined) copy.ref = 'e' + n;
    return copy;
}

// Copy and cut: the event first, with an empty clipboard the page may write
// to and cancel; else the selection is copied and a cut deletes it.
function copyOrCut(el, cut) {
    const field = isTextField(el) ? el : null;
    // The browser copies nothing out of a password field, and says nothing.
    if (field && field.type === 'password') return;
    const host = field || (el.isContentEditable ? editingHost(el) : null);
    const target = field || selectionElement() || el;
    const data = new DataTransfer();
    if (!clipboardEvent(target, cut ? 'cut' : 'copy', data)) {
        if (data.types.includes('text/plain')) copiedText = copyOf(data.getData('text/plain'), host);
        return;
    }
    let text;
    if (field) {
        const { start, end } = fieldSelection(field);
        text = field.value.slice(start, end);
    } else {
        text = getSelection().toString();
    }
    if (!text) return;
    copiedText = copyOf(text, host);
    if (!cut || !host || !canEdit(host)) return;
    if (field && deepActiveElement() !== field) keptReplace(field, '', 'deleteByCut');
    else editAs(host, 'deleteByCut', null, () => document.execCommand('delete'));
}

// Paste: the event with the offered text, which the page may cancel; else
// the text goes in at the selection as typing puts it.
function paste(el) {
    const text = offeredClipboard && typeof offeredClipboard.text === 'string' ? offeredClipboard.text : '';
    const field = isTextField(el) ? el : null;
    const host = field || (el.isContentEditable ? editingHost(el) : null);
    const target = field || selectionElement() || el;
    const data = new DataTransfer();
    if (text) data.setData('text/plain', text);
    if (!clipboardEvent(target, 'paste', data) || !text || !host || !canEdit(host)) return;
    if (field && deepActiveElement() !== field) keptReplace(field, text, 'insertFromPaste');
    else editAs(host, 'insertFromPaste', text, () => document.execCommand('insertText', false, text));
}

// The engine's editing commands announce their own kind of edit (a typed
// text, a deletion); an edit that a person makes another way (a paste, a
// cut) is announced as that kind instead, the engine's own beforeinput and
// input being kept from the page while its command runs.
let quietEdits = 0;
for (const type of ['beforeinput', 'input']) {
    window.addEventListener(type, e => {
        if (quietEdits && e.isTrusted) e.stopImmediatePropagation();
    }, true);
}

// The input events of an edit of that kind: a text field hears the text as
// data, editable content a DataTransfer.
function editEvents(host, inputType, text) {
    const init = { bubbles: true, cancelable: true, composed: true, inputType, data: null };
    if (text !== null && (host.localName === 'input' || host.localName === 'textarea')) init.data = text;
    else if (text !== null) {
        init.dataTransfer = new DataTransfer();
        init.dataTransfer.setData('text/plain', text);
    }
    return init;
}

function editAs(host, inputType, text, run) {
    const init = editEvents(host, inputType, text);
    if (!host.dispatchEvent(new InputEvent('beforeinput', init))) return;
    const content = () => host.localName === 'input' || host.localName === 'textarea' ? host.value : host.innerHTML;
    const before = content();
    quietEdits++;
    try {
        run();
    } finally {
        quietEdits--;
    }
    if (content() !== before) host.dispatchEvent(new InputEvent('input', Object.assign(init, { cancelable: false })));
}

function clipboardDefault(el, kind) {
    if (kind === 'paste') paste(el);
    else copyOrCut(el, kind === 'cut');
}
