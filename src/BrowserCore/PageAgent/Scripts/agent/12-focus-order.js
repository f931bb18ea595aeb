// ---------------------------------------------------------------------------
// Tab and Shift+Tab: the focus order of the whole page, the documents of
// frames taking their frame's place in it, as the browser walks it. A frame
// of another site keeps its document from this world: the frame itself
// stands for it and takes the focus.

const isFrame = el => el.localName === 'iframe' || el.localName === 'frame';

// The document of a frame of this origin; none for another origin's.
function reachableDocument(frame) {
    try {
        const doc = frame.contentDocument;
        return doc && doc.documentElement ? doc : null;
    } catch (e) {
        return null;
    }
}

// The highest window above this frame whose document this world reaches.
function outermostWindow() {
    let w = window;
    for (;;) {
        try {
            const parent = w.parent;
            if (parent === w || !parent.document) break;
            w = parent;
        } catch (e) {
            break;
        }
    }
    return w;
}

// An editable document (an editor's frame) takes the focus on its body.
const editableBody = doc => doc.body && (doc.body.isContentEditable || doc.designMode === 'on') ? doc.body : null;

// Where Tab takes the element in its document's order: its tab index, which
// a frame or an editable area has at 0 unless the page gave another.
function tabIndexOf(el) {
    if (el.hasAttribute('tabindex') || !(isFrame(el) || el.isContentEditable)) return el.tabIndex;
    return 0;
}

// The elements of one document that Tab reaches, in its order: positive
// tab indexes first. Content inside an editable area is part of that area.
function sequentialFocusables(doc) {
    const all = [];
    const walk = root => {
        for (const el of root.querySelectorAll('*')) {
            if (el.shadowRoot) walk(el.shadowRoot);
            if (el.localName === 'body') continue;
            if (el.parentElement && el.parentElement.isContentEditable) continue;
            if (tabIndexOf(el) < 0 || isDisabled(el) || !el.checkVisibility({ visibilityProperty: true })) continue;
            all.push(el);
        }
    };
    walk(doc);
    const positive = all.filter(e => tabIndexOf(e) > 0).sort((a, b) => tabIndexOf(a) - tabIndexOf(b));
    const body = editableBody(doc);
    return [...(body ? [body] : []), ...positive, ...all.filter(e => tabIndexOf(e) === 0)];
}

// The page's focus order: {el, frame}, where a frame this world reaches is a
// mark (`frame` true) followed by its document's own order.
function focusOrder(doc, out = []) {
    for (const el of sequentialFocusables(doc)) {
        const inner = isFrame(el) ? reachableDocument(el) : null;
        out.push({ el, frame: !!inner });
        if (inner) focusOrder(inner, out);
    }
    return out;
}

// Where `from` stands in the order: its own entry, else the mark of the
// frame whose document holds it (a document focused with no element of its
// own focused).
function placeInOrder(order, from) {
    let i = order.findIndex(entry => entry.el === from);
    for (let doc = from && from.ownerDocument; i < 0 && doc; ) {
        const holder = doc.defaultView && doc.defaultView.frameElement;
        if (!holder) break;
        i = order.findIndex(entry => entry.el === holder);
        doc = holder.ownerDocument;
    }
    return i;
}

function moveFocus(from, step) {
    const order = focusOrder(outermostWindow().document);
    let i = placeInOrder(order, from);
    if (i < 0) i = step > 0 ? -1 : order.length;
    for (let j = i + step; j >= 0 && j < order.length; j += step) {
        if (order[j].frame) continue;
        focusByKey(order[j].el);
        return;
    }
    if (from && from.blur) from.blur();
}

// Focus that a key brings gives an editable area a caret, as the browser
// does: a text field's text is selected; a textarea gets a caret at its
// start, wherever the caret was left in it; editable content gets a caret at
// its start unless the selection already lies in it.
function focusByKey(el) {
    // Set before the focus, the textarea's caret comes into view with it.
    if (el.localName === 'textarea') el.setSelectionRange(0, 0);
    el.focus();
    const doc = el.ownerDocument;
    if (el.localName === 'input' && TEXT_CONTROLS.test(el.type)) {
        el.select();
    } else if (el.isContentEditable) {
        const selection = doc.getSelection();
        if (selection && !(selection.rangeCount && el.contains(selection.anchorNode))) {
            selection.collapse(el, 0);
            selection.modify('move', 'backward', 'documentboundary');
        }
    }
}

// The control that has the keyboard in this document, as a screen reader
// names it: its role and accessible name. Nothing when the document itself
// has it.
function focused() {
    const el = deepActiveElement();
    if (!el || el === document.body || el === document.documentElement) return undefined;
    const role = roleOf(el) || '';
    return { role, name: accessibleName(el, !role) };
}
