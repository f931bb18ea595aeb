// ---------------------------------------------------------------------------
// Acting. While the agent acts, the events it makes are not the person's.

let acting = 0;
// When the agent's last action began, on the document's timeline (what was
// animating before it is the page's own doing), and when it ended.
let actionBegan = null;
let actionEnded = -1;

function beginActing() {
    if (acting++ > 0) return;
    const timeline = document.timeline && document.timeline.currentTime;
    actionBegan = typeof timeline === 'number' ? timeline : performance.now();
}

function endActing() {
    if (--acting > 0) return;
    actionEnded = performance.now();
    framesSinceAction = 0;
    askFrame();
}

function whileActing(fn) {
    beginActing();
    try {
        return fn();
    } finally {
        endActing();
    }
}

async function whileActingAsync(fn) {
    beginActing();
    try {
        return await fn();
    } finally {
        endActing();
    }
}

// The agent is about to scroll the page itself (bring an element into
// view, scroll, move a caret or the focus): the scroll shows as a jump in
// the next frame, which is the agent's, not the page's.
let ownScrollShowing = false;
function scrollsItself() {
    ownScrollShowing = true;
    askFrame();
}

function scrollIntoViewNow(el) {
    scrollsItself();
    try {
        el.scrollIntoView({ block: 'center', inline: 'center', behavior: 'instant' });
    } catch (e) {
        el.scrollIntoView({ block: 'center', inline: 'center' });
    }
}

function describeNode(el) {
    if (!el || el.nodeType !== 1) return 'something';
    let s = el.localName;
    if (el.id && el.id.length <= 30) s += '#' + el.id;
    else {
        const cls = (el.getAttribute('class') || '').trim().split(/\s+/).filter(Boolean).slice(0, 2);
        if (cls.length) s += '.' + cls.join('.');
    }
    return s;
}

// How to name the thing that lies over an element.
function describeCovering(hit) {
    const cover = closestDeep(hit, n => n.localName === 'dialog' || /^(dialog|alertdialog)$/.test(n.getAttribute('role') || '') ||
        n.getAttribute('aria-modal') === 'true');
    if (cover) {
        const name = coverName(cover);
        return name ? `the dialog ${quote(name)}` : 'a dialog';
    }
    const control = closestDeep(hit, n => WIDGET_ROLES.has(roleOf(n) || ''));
    if (control) {
        const n = refOf.get(control);
        return `${roleOf(control)} ${quote(accessibleName(control))}` + (n ? ` (e${n})` : '');
    }
    const layer = closestDeep(hit, n => styleOf(n).position === 'fixed');
    const text = cut(collapse(visibleText(layer || hit)), 60);
    return `<${describeNode(layer || hit)}>` + (text ? ` ${quote(text)}` : '');
}

// Where a person's click on the element would land: a point inside its
// visible part where the element itself (or its label) is the topmost thing.
function clickPoint(target, receiver, label, command) {
    let v = visibility(receiver);
    if (!v) fail('not_visible', notVisibleMessage(label, command));
    const numb = styleOf(receiver).pointerEvents === 'none';
    const inView = r => r && r.r - r.l >= 1 && r.b - r.t >= 1;
    if (!inView(v.view)) {
        scrollIntoViewNow(receiver);
        v = visibility(receiver);
        if (!v) fail('not_visible', notVisibleMessage(label, command));
    }
    // The pointer goes through such an element to what lies beneath: where
    // that holds the element and takes the click (a component's host, the
    // card around it), a person's click lands there.
    if (numb) {
        const through = pointThrough(receiver, v.view || v.rect);
        if (through) return through;
        fail('disabled', `Element ${label} does not respond to the pointer (the page has turned pointer events off ` +
            `for it), so a ${command} would reach whatever lies beneath. Pages do this while the element is not ` +
            'ready: wait for the page, or reach it with press (Tab, then Enter).');
    }
    // An element that holds controls of its own (a header its filter field,
    // a day its events) is clicked on its title, clear of them.
    const field = typingTarget(target);
    const apart = receiver === target && holdsOtherControls(target, field);
    if (apart) {
        const title = titlePoint(target, field);
        if (title) return title;
    }
    let blocker = null, onOther = null;
    for (const { x, y } of pointsIn(v.view || v.rect)) {
        const hit = deepElementFromPoint(x, y);
        if (!hit) continue;
        if (containsDeep(receiver, hit) || containsDeep(target, hit) ||
            (hit.localName === 'label' && hit.control === target) ||
            (closestDeep(hit, n => n.localName === 'label') || {}).control === target) {
            if (!apart || !inOtherControl(target, hit, field)) return { x, y, hit };
            onOther = onOther || { x, y, hit };
            continue;
        }
        blocker = blocker || hit;
    }
    if (onOther) return onOther;
    if (!blocker) fail('not_visible', notVisibleMessage(label, command));
    const covering = describeCovering(blocker);
    fail('obscured', `Element ${label} is covered by ${covering} where a person would ${command === 'hover' ? 'point at' : 'click'} it, ` +
        `so the ${command} would reach that instead. Close or answer what covers it first, or scroll the element clear of it.`);
}

// The points of the area a person's click may aim at, within the viewport:
// its middle first.
function pointsIn(area) {
    const w = area.r - area.l, h = area.b - area.t;
    const fractions = [[0.5, 0.5], [0.25, 0.5], [0.75, 0.5], [0.5, 0.25], [0.5, 0.75], [0.2, 0.2], [0.8, 0.8]];
    return fractions.map(([fx, fy]) => ({ x: area.l + w * fx, y: area.t + h * fy }))
        .filter(({ x, y }) => x >= 0 && y >= 0 && x < window.innerWidth && y < window.innerHeight);
}

// A point of the element that the pointer passes through to an element
// holding it which takes the click, or null. The page itself (its body and
// root) takes nothing a person aims at.
function pointThrough(receiver, area) {
    for (const { x, y } of pointsIn(area)) {
        const hit = deepElementFromPoint(x, y);
        if (hit && hit !== receiver && containsDeep(hit, receiver) && takesClicks(hit)) return { x, y, hit };
    }
    return null;
}

function takesClicks(el) {
    for (let n = el; n && n.nodeType === 1 && n !== document.body && n !== document.documentElement; n = flatParent(n)) {
        if (styleOf(n).cursor === 'pointer' || actedOnAs(n, n.localName, roleOf(n), 'visible') !== null) return true;
    }
    return false;
}

// Whether `node` lies, within `target`, in a control or clickable element of
// its own other than the field the target types into.
function inOtherControl(target, node, field) {
    for (let n = node; n && n !== target; n = flatParent(n)) {
        if (n.nodeType !== 1 || n === field) continue;
        if (isEditableText(n) || actedOnAs(n, n.localName, roleOf(n), 'visible') !== null) return true;
    }
    return false;
}

const CONTROL_LIKE = 'a[href], button, input, select, textarea, [role], [tabindex], [onclick], [contenteditable], ' +
    '[aria-expanded], [aria-pressed], [aria-selected]';

function holdsOtherControls(target, field) {
    const found = target.querySelectorAll(CONTROL_LIKE);
    for (let i = 0; i < found.length && i < 50; i++) {
        if (found[i] !== field && inOtherControl(target, found[i], field)) return true;
    }
    return false;
}

// The middle of the first text of `target` that lies clear of the controls
// it holds and on top where it shows, or null.
function titlePoint(target, field) {
    const walker = document.createTreeWalker(target, NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(), tried = 0; node && tried < 20; node = walker.nextNode()) {
        if (!/\S/.test(node.data) || inOtherControl(target, node.parentElement, field)) continue;
        tried++;
        const range = document.createRange();
        range.selectNodeContents(node);
        for (const r of range.getClientRects()) {
            const x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
            if (r.width < 1 || r.height < 1 || x < 0 || y < 0 || x >= window.innerWidth || y >= window.innerHeight) continue;
            const hit = deepElementFromPoint(x, y);
            if (hit && containsDeep(target, hit) && !inOtherControl(target, hit, field)) return { x, y, hit };
        }
    }
    return null;
}

function notVisibleMessage(label, command) {
    return `Element ${label} is on the page but not visible (hidden, collapsed, without size or outside what can be ` +
        `scrolled to), so a person could not ${command === 'fill' ? 'type into' : command === 'select' ? 'choose in' : command} it. ` +
        'Open the menu, tab or section that holds it first, then take a snapshot.';
}

function checkEnabled(el, label, command) {
    if (isDisabled(el)) {
        fail('disabled', `Element ${label} is disabled, so it cannot be ${command === 'fill' ? 'typed into' : command === 'select' ? 'changed' : 'used'}. ` +
            'A form often enables it once its required fields are filled; check them, or wait for the page.');
    }
    if (closestDeep(el, n => n.hasAttribute('inert'))) {
        fail('disabled', `Element ${label} is switched off by the page (it lies in an inert part of the page, ` +
            'usually behind an open dialog). Finish with what the page shows in front of it first.');
    }
}

function mouseInit(x, y, extra) {
    return Object.assign({
        bubbles: true, cancelable: true, composed: true, view: window,
        clientX: x, clientY: y, screenX: x + window.screenX, screenY: y + window.screenY,
        button: 0, buttons: 0, detail: 1, pointerId: 1, pointerType: 'mouse', isPrimary: true,
    }, extra);
}

function focusableAncestor(el) {
    return closestDeep(el, n => n.tabIndex >= 0 || n.hasAttribute('tabindex') || n.isContentEditable ||
        /^(input|select|textarea|button|a|summary)$/.test(n.localName)) || null;
}

// Clicks as a person's mouse does; answers the address of the link the
// click follows, if any.
function clickAt(point) {
    const { x, y, hit } = point;
    const fire = (type, ctor, extra) => hit.dispatchEvent(new ctor(type, mouseInit(x, y, extra)));
    const P = typeof PointerEvent === 'function' ? PointerEvent : MouseEvent;
    fire('pointerover', P);
    fire('pointerenter', P, { bubbles: false });
    fire('mouseover', MouseEvent);
    fire('mouseenter', MouseEvent, { bubbles: false });
    fire('pointermove', P);
    fire('mousemove', MouseEvent);
    const downOk = fire('pointerdown', P, { buttons: 1 }) & fire('mousedown', MouseEvent, { buttons: 1 });
    if (downOk) {
        const focusable = focusableAncestor(hit);
        if (focusable && hit.isConnected) focusAsPressed(focusable);
        else {
            const active = deepActiveElement();
            if (active && active !== document.body && active.blur) active.blur();
        }
    }
    if (!hit.isConnected) return null;
    fire('pointerup', P);
    fire('mouseup', MouseEvent);
    if (!hit.isConnected) return null;
    if (!fire('click', MouseEvent)) return null;
    return linkFollowed(hit);
}

// Gives the element the focus as the press of a mouse button does. Pressed,
// a button or a link takes the focus and leaves the text selected in
// editable content as it was, which an editor's toolbar then acts on. The
// focus moved by a script clears it, and putting it back gives the editable
// content the focus again: the selection is worth more to the page.
function focusAsPressed(el) {
    const selection = isButton(el) || isLink(el) ? editableSelection() : null;
    el.focus({ preventScroll: true });
    if (!selection || !selection.anchorNode.isConnected || !selection.focusNode.isConnected) return;
    try {
        getSelection().setBaseAndExtent(selection.anchorNode, selection.anchorOffset, selection.focusNode,
            selection.focusOffset);
    } catch (e) {
        // The page moved the text on in its focus handlers.
    }
}

// Where the document's selection lies when it holds text of editable content.
function editableSelection() {
    const selection = getSelection();
    if (!selection || !selection.rangeCount || selection.isCollapsed || !selection.anchorNode) return null;
    const anchor = selection.anchorNode.nodeType === 1 ? selection.anchorNode : selection.anchorNode.parentElement;
    if (!anchor || !anchor.isContentEditable) return null;
    const { anchorNode, anchorOffset, focusNode, focusOffset } = selection;
    return { anchorNode, anchorOffset, focusNode, focusOffset };
}

// The address of the link that a click on `hit`, which no listener
// cancelled, follows. WebKit drops a link to a port it keeps from the web
// without a word to the session, which can tell so only by the address.
function linkFollowed(hit) {
    const link = closestDeep(hit, n => (n.localName === 'a' || n.localName === 'area') && n.hasAttribute('href'));
    return link ? link.href : null;
}

// What a person points at to reach an element: the element, else what
// stands in for it on the page; null when neither shows.
function pointedAt(el) {
    if (visibility(el)) return el;
    const standIn = standInFor(el);
    return standIn ? standIn.by : null;
}

function click(args) {
    const { el, label } = elementFor(args, 'click');
    checkEnabled(el, label, 'click');
    const receiver = pointedAt(el) || el;
    const followed = whileActing(() => clickAt(clickPoint(el, receiver, label, 'click')));
    return followed ? { followed } : undefined;
}

// Where the element shows, in this frame's own viewport; the session adds
// where the frame lies in the page.
function hover(args) {
    const { el, label } = elementFor(args, 'hover');
    const receiver = pointedAt(el) || el;
    const point = whileActing(() => clickPoint(el, receiver, label, 'hover'));
    return { x: point.x, y: point.y };
}

// Where this frame lies under the top window: at each level, its index among
// the frames of the window above it, outermost first. Windows of other
// origins allow this much, and page scripts cannot change what this world
// reads of them.
function framePath() {
    const path = [];
    for (let w = window; w !== w.top; w = w.parent) {
        const parent = w.parent;
        let index = -1;
        for (let i = 0; i < parent.length; i++) {
            if (parent[i] === w) {
                index = i;
                break;
            }
        }
        if (index < 0) fail(null, 'The frame is no longer part of the page.');
        path.unshift(index);
    }
    return path;
}

// The frame elements of this document, open shadow roots included.
function frameElements(root, out = []) {
    for (const el of root.querySelectorAll('*')) {
        if (/^(iframe|frame|object|embed)$/.test(el.localName)) out.push(el);
        if (el.shadowRoot) frameElements(el.shadowRoot, out);
    }
    return out;
}

// The element of this document that holds frames[index].
function frameOwner(index) {
    const child = window.frames[Number(index)];
    const owner = child && frameElements(document).find(el => {
        try {
            return el.contentWindow === child;
        } catch (e) {
            return false;
        }
    });
    if (!owner) {
        fail('not_found', 'The frame of the element is no longer on the page. Take a snapshot to see the page as it is now.');
    }
    return owner;
}

// The top left corner of the content box (inside borders and padding) of the
// element that holds frames[index], in this frame's viewport: where that
// frame's own (0, 0) shows. The element is scrolled into view first.
function frameOffset(args) {
    const owner = frameOwner(args.index);
    return whileActing(() => {
        const v = visibility(owner);
        if (!v || !v.view) scrollIntoViewNow(owner);
        const r = owner.getBoundingClientRect();
        const cs = styleOf(owner);
        return {
            x: r.left + owner.clientLeft + (parseFloat(cs.paddingLeft) || 0),
            y: r.top + owner.clientTop + (parseFloat(cs.paddingTop) || 0),
        };
    });
}

// Gives frames[index] the focus, as a person's click into it does: the keys
// that follow go into that frame, not to this document.
function focusFrame(args) {
    const owner = frameOwner(args.index);
    whileActing(() => {
        if (deepActiveElement() !== owner) owner.focus({ preventScroll: true });
    });
    return undefined;
}

// A document in quirks mode lets a bare ':hover' match links alone; a
// second pseudo-class in the compound lifts that quirk for every element.
const HOVER = ':hover:is(*)';

function hovered(args) {
    const { el } = elementFor(args, 'hovered');
    if (matchesSafe(el, HOVER)) return true;
    const standIn = standInFor(el);
    return !!(standIn && matchesSafe(standIn.by, HOVER));
}

function scroll(args) {
    if (args.ref !== undefined) {
        const { el, label } = elementFor(args, 'scroll');
        const receiver = pointedAt(el) || el;
        if (!visibility(receiver)) fail('not_visible', notVisibleMessage(label, 'scroll to'));
        whileActing(() => scrollIntoViewNow(receiver));
        return undefined;
    }
    const dx = Number(args.dx) || 0, dy = Number(args.dy) || 0;
    whileActing(() => scrollPageBy(dx, dy));
    return undefined;
}

// Scrolls the page, or, on a page that does not scroll itself (an app whose
// content scrolls in a panel), the largest panel that can scroll that way.
function scrollPageBy(dx, dy, from) {
    scrollBoxBy(scrollerFor(dx, dy, from), dx, dy);
}

function scrollBoxBy(box, dx, dy) {
    scrollsItself();
    try {
        box.scrollBy({ left: dx, top: dy, behavior: 'instant' });
    } catch (e) {
        box.scrollBy(dx, dy);
    }
}

// What a scroll by (dx, dy) moves: the panel around the given element that
// can scroll that way (keys pressed in it), else the page (the window), else
// the largest panel that can.
function scrollerFor(dx, dy, from) {
    const page = document.scrollingElement || document.documentElement;
    const canScroll = (el, isPage) => {
        const cs = styleOf(el);
        const okY = dy === 0 || (el.scrollHeight > el.clientHeight + 1 &&
            (isPage ? cs.overflowY !== 'hidden' : /auto|scroll|overlay/.test(cs.overflowY)) &&
            (dy > 0 ? el.scrollTop + el.clientHeight < el.scrollHeight - 1 : el.scrollTop > 0));
        const okX = dx === 0 || (el.scrollWidth > el.clientWidth + 1 &&
            (isPage ? cs.overflowX !== 'hidden' : /auto|scroll|overlay/.test(cs.overflowX)));
        return okY && okX;
    };
    for (let node = from; node && node.nodeType === 1 && node !== page; node = flatParent(node)) {
        if (canScroll(node, false)) return node;
    }
    if (page && canScroll(page, true)) return window;
    let best = null, bestArea = 0;
    for (const el of document.querySelectorAll('body *')) {
        if (el.scrollHeight <= el.clientHeight + 1 && el.scrollWidth <= el.clientWidth + 1) continue;
        if (!canScroll(el, false)) continue;
        const area = el.clientWidth * el.clientHeight;
        if (area > bestArea && el.checkVisibility()) {
            best = el;
            bestArea = area;
        }
    }
    return best || window;
}

// ---------------------------------------------------------------------------
// fill

const DIRECT_TYPES = /^(date|time|datetime-local|month|week|color|range)$/;
const FORMATS = {
    date: 'a date as 2024-12-31', time: 'a time as 13:45', 'datetime-local': 'a date and time as 2024-12-31T13:45',
    month: 'a month as 2024-12', week: 'a week as 2024-W52', color: 'a colour as #336699', range: 'a number',
    number: 'a number',
};

function inputEvent(el, data, inputType) {
    let ev;
    try {
        ev = new InputEvent('input', { bubbles: true, composed: true, data, inputType });
    } catch (e) {
        ev = new Event('input', { bubbles: true, composed: true });
    }
    el.dispatchEvent(ev);
}

// The field inside a widget that takes the typing (a combobox wrapper).
function typingTarget(el) {
    if (isEditableText(el)) return el;
    const role = roleOf(el);
    if (role === 'textbox' || role === 'searchbox' || role === 'combobox' || role === 'spinbutton') {
        const inner = el.querySelector('input, textarea, [contenteditable=""], [contenteditable="true"]') ||
            (el.shadowRoot && el.shadowRoot.querySelector('input, textarea'));
        if (inner && isEditableText(inner)) return inner;
    }
    return null;
}

// The origin whose stored values a fill may carry: that of this document.
function origin() {
    return documentOrigin();
}

function fill(args) {
    // Values chosen for one origin are never typed into a document of another.
    if (args.origin !== undefined && String(args.origin) !== documentOrigin()) {
        fail('site_changed', 'The document is no longer the one the values were chosen for.');
    }
    const { el, label, role } = elementFor(args, 'fill');
    if (typeof args.value !== 'string') fail(null, 'fill needs a "value" argument with the text to type.');
    const value = args.value;
    const field = typingTarget(el);
    if (!field) {
        const hint = el.localName === 'select' || role === 'combobox' || role === 'listbox'
            ? 'Use select to choose one of its options.'
            : role === 'checkbox' || role === 'radio' || role === 'switch'
                ? 'Use click to check or uncheck it.'
                : el.localName === 'input' && el.type === 'file'
                    ? 'A file field takes a file from the file chooser: click it instead.'
                    : 'Fill works on text fields; use click for buttons and links, and select for dropdowns.';
        fail('wrong_type', `Element ${label} does not take typed text. ${hint}`);
    }
    checkEnabled(field, label, 'fill');
    if (field.readOnly) {
        fail('disabled', `Element ${label} is read-only, so nothing can be typed into it. ` +
            'The page may fill it itself, or offer a button or picker to change it.');
    }
    const receiver = pointedAt(field) || pointedAt(el);
    if (!receiver) fail('not_visible', notVisibleMessage(label, 'fill'));

    const written = asWritten(args, value);
    const others = otherFieldValues(field);
    const type = () => {
        scrollsItself();
        if (field.isContentEditable && field.localName !== 'input' && field.localName !== 'textarea') {
            fillEditable(field, value);
        } else {
            fillControl(field, value, label, written);
        }
    };
    return whileActingAsync(async () => {
        const v = visibility(receiver);
        if (!v || !v.view) scrollIntoViewNow(receiver);
        // The page hears the focus, and what its handlers set going (a
        // framework's watchers, which may empty the field) runs, before the
        // first key, as before a person's.
        if (focusField(field)) await pageTurn();
        // A field that lost the text once its handlers ran (the page emptied
        // it, or put back what it held) is typed into once more.
        let lost = true;
        for (let attempt = 0; attempt < 2 && lost; attempt++) {
            if (attempt) focusField(field);
            const start = fieldValue(field);
            type();
            await pageTurn();
            const now = fieldValue(field);
            lost = field.isConnected && value !== '' && value !== start && (now === '' || now === start);
        }
        if (lost) {
            fail('wrong_type', `Element ${label} did not keep the text ${quote(written)}: the page took it out of the ` +
                'field again right after it was typed, twice. The field may take text only by keys (press them one ' +
                'at a time), or offer its choices in a list to click.');
        }
        const state = fieldState(field);
        state.baseline = fieldValue(field);
        state.dirty = false;
        // What the field kept of the text, and what the page copied it into:
        // a field may keep only a start of it.
        return { held: state.baseline, copies: changedValues(others) };
    });
}

// The values of the document's other text fields, hidden ones too (a page
// may keep its own copy of what is typed), to tell which a fill changed.
function otherFieldValues(field) {
    const values = new Map();
    for (const el of document.querySelectorAll('input, textarea')) {
        if (values.size >= 500) break;
        if (el !== field && (el.type === 'hidden' || isEditableText(el))) values.set(el, el.value);
    }
    return values;
}

function changedValues(before) {
    const changed = [];
    for (const [el, value] of before) {
        if (changed.length >= 16) break;
        if (el.value !== value && el.value !== '') changed.push(el.value);
    }
    return changed;
}

// Puts the focus on the field unless it has it; answers whether it moved.
function focusField(field) {
    if (deepActiveElement() === field) return false;
    field.focus({ preventScroll: true });
    return true;
}

// Lets the page run what it queued: its promise jobs, then its tasks
// already due (a framework flushes its watchers in either).
function pageTurn() {
    return new Promise(resolve => setTimeout(resolve, 0));
}

function fillControl(field, value, label, written) {
    const type = field.localName === 'input' ? field.type : 'textarea';
    if (DIRECT_TYPES.test(type)) {
        field.value = value;
        if (value && field.value === '' || (type === 'range' && value && String(Number(value)) !== String(Number(field.value)) && isNaN(Number(value)))) {
            fail('wrong_type', `Element ${label} did not take ${quote(written)}: it takes ${FORMATS[type]}.`);
        }
        inputEvent(field, value, 'insertReplacementText');
        field.dispatchEvent(new Event('change', { bubbles: true }));
        return;
    }
    let expected = value;
    if (field.localName === 'input') expected = expected.replace(/[\r\n]+/g, '');
    if (field.maxLength >= 0) expected = expected.slice(0, field.maxLength);
    let typed = false;
    try {
        field.select();
        typed = value === '' ? document.execCommand('delete') || field.value === ''
            : document.execCommand('insertText', false, value);
    } catch (e) {
        typed = false;
    }
    if (!typed || field.value !== expected) {
        // The editing command did not reach the field (it is not focused, or
        // the engine refused): set the value as typing would leave it.
        field.value = expected;
        if (type === 'number' && expected && field.value === '') {
            fail('wrong_type', `Element ${label} did not take ${quote(written)}: it takes a number.`);
        }
        inputEvent(field, expected, 'insertText');
    } else {
        // Setting the value from script makes the engine forget the typing,
        // so leaving the field later fires no second change of its own.
        // (The engine ignores a value equal to the current one.)
        const typedValue = field.value;
        field.value = typedValue === '' ? '0' : '';
        field.value = typedValue;
    }
    field.dispatchEvent(new Event('change', { bubbles: true }));
}

function fillEditable(field, value) {
    const selection = window.getSelection();
    const range = document.createRange();
    range.selectNodeContents(field);
    selection.removeAllRanges();
    selection.addRange(range);
    let typed = false;
    try {
        typed = value === '' ? document.execCommand('delete') : document.execCommand('insertText', false, value);
    } catch (e) {
        typed = false;
    }
    if (!typed || collapse(field.innerText) !== collapse(value)) {
        field.textContent = value;
        inputEvent(field, value, 'insertText');
    }
}

// ---------------------------------------------------------------------------
// select

const OPTION_ROLES = /^(option|menuitem|menuitemradio|menuitemcheckbox|radio|tab|treeitem)$/;

function matchOption(options, wanted, labelOf, valueOf) {
    const w = collapse(wanted);
    return options.find(o => collapse(labelOf(o)) === w) ||
        options.find(o => valueOf && valueOf(o) === wanted) ||
        options.find(o => collapse(labelOf(o)).toLowerCase() === w.toLowerCase()) || null;
}

function noOption(label, shown, labels, note = '') {
    const listed = labels.slice(0, 20).map(quote).join(', ');
    const more = labels.length > 20 ? `, and ${labels.length - 20} more` : '';
    fail('no_option', `Element ${label} has no option ${quote(shown)}. ` +
        (labels.length ? `Its options: ${listed}${more}.` : 'It shows no options now; open it with click and take a snapshot.') + note);
}

function select(args) {
    const { el, label, role } = elementFor(args, 'select');
    if (typeof args.option !== 'string') fail(null, 'select needs an "option" argument with the option to choose.');
    const wanted = args.option;
    checkEnabled(el, label, 'select');

    if (el.localName === 'select') {
        if (!pointedAt(el)) fail('not_visible', notVisibleMessage(label, 'select'));
        const options = Array.from(el.options);
        const option = matchOption(options, wanted, o => o.label || o.text, o => o.value);
        if (!option) noOption(label, asWritten(args, wanted), options.map(optionLabel).filter(Boolean));
        if (option.disabled || (option.parentElement && option.parentElement.localName === 'optgroup' && option.parentElement.disabled)) {
            fail('disabled', `Option ${quote(optionLabel(option))} of ${label} is disabled, so it cannot be chosen.`);
        }
        whileActing(() => {
            el.focus({ preventScroll: true });
            if (!option.selected || !el.multiple) {
                option.selected = true;
                inputEvent(el, null, 'insertReplacementText');
                el.dispatchEvent(new Event('change', { bubbles: true }));
            }
        });
        return undefined;
    }

    if (el.localName === 'input' && el.list) {
        const options = Array.from(el.list.options);
        const option = matchOption(options, wanted, o => o.label || o.value, o => o.value);
        if (!option) noOption(label, asWritten(args, wanted), options.map(o => collapse(o.value || o.label)).filter(Boolean));
        return fill({ ref: args.ref, value: option.value });
    }

    if (!/^(combobox|listbox|menu|menubar|radiogroup|tablist|tree|menuitem|button)$/.test(role || '')) {
        fail('wrong_type', `Element ${label} is not a dropdown or list, so it has no options to choose. ` +
            'Select works on dropdowns and lists; use click for buttons, links, checkboxes and radio buttons, and fill for text fields.');
    }
    return selectCustom(el, label, args);
}

// Options that a custom list shows: inside it, in the popup it controls, or,
// for a list drawn by a web component, anywhere in that component: in its
// shadow root or among the page's own elements slotted into it.
function customOptions(el) {
    const scopes = [el, ...referencedElements(el, 'aria-controls'), ...referencedElements(el, 'aria-owns')];
    const inner = el.querySelector('[aria-controls], [aria-owns]');
    if (inner) scopes.push(...referencedElements(inner, 'aria-controls'), ...referencedElements(inner, 'aria-owns'));
    const active = el.getAttribute('aria-activedescendant');
    if (active) {
        const option = el.getRootNode().getElementById(active);
        if (option && option.parentElement) scopes.push(option.parentElement);
    }
    let found = optionsIn(scopes);
    // The nearest component that has options owns the list; a component
    // further out may hold other lists.
    for (let host = el.getRootNode().host, depth = 0; !found.length && host && depth < 3; depth++) {
        found = optionsIn([host]);
        host = host.getRootNode().host;
    }
    return found;
}

// The visible options under each scope, through open shadow roots and slots.
function optionsIn(scopes) {
    const found = [];
    for (const scope of scopes) {
        const pending = [scope];
        while (pending.length) {
            const node = pending.pop();
            const role = node !== scope && node.hasAttribute('role') ? explicitRole(node) : null;
            if (role && OPTION_ROLES.test(role) && !found.includes(node) && visibility(node)) found.push(node);
            const children = flatChildren(node);
            for (let i = children.length - 1; i >= 0; i--) {
                if (children[i].nodeType === 1) pending.push(children[i]);
            }
        }
    }
    return found;
}

// Waits until `done` holds, or the time is up; answers whether it held.
async function pollUntil(done, ms) {
    const end = Date.now() + ms;
    while (!done()) {
        if (Date.now() > end) return false;
        await new Promise(resolve => setTimeout(resolve, 50));
    }
    return true;
}

// Closes a list that the command opened, as a person would: Escape where the
// focus is, else a second click on what opened it. Only the list is meant,
// so the Escape has none of the browser's own effects (closing a dialog the
// list lies in). Answers whether it closed.
async function closeList(el, label) {
    const closed = () => el.getAttribute('aria-expanded') !== 'true' && !customOptions(el).length;
    if (closed()) return true;
    const focused = deepActiveElement();
    const target = focused && focused !== document.body ? focused : el;
    const mods = noModifiers();
    const place = keyPlace('Escape');
    keyEvent(target, 'keydown', 'Escape', mods, place);
    if (target.isConnected) keyEvent(target, 'keyup', 'Escape', mods, place);
    if (await pollUntil(closed, 1000)) return true;
    try {
        clickAt(clickPoint(el, el, label, 'select'));
    } catch (e) {
        if (!(e instanceof AgentFailure)) throw e;
    }
    return pollUntil(closed, 1000);
}

function selectCustom(el, label, args) {
    return whileActingAsync(async () => {
        let options = customOptions(el);
        let opened = false;
        if (!options.length) {
            const receiver = pointedAt(el);
            if (!receiver) fail('not_visible', notVisibleMessage(label, 'select'));
            clickAt(clickPoint(el, receiver, label, 'select'));
            opened = true;
            await pollUntil(() => (options = customOptions(el)).length, 1500);
        }
        const option = matchOption(options, args.option, o => accessibleName(o), null);
        if (!option || isDisabled(option)) {
            const names = options.map(o => accessibleName(o)).filter(Boolean);
            const note = opened && !(await closeList(el, label))
                ? ' The list the select opened did not close again: it is still open.' : '';
            if (!option) noOption(label, asWritten(args, args.option), names, note);
            fail('disabled', `Option ${quote(accessibleName(option))} of ${label} is disabled, so it cannot be chosen.${note}`);
        }
        clickAt(clickPoint(option, option, `option ${quote(accessibleName(option))}`, 'select'));
        return undefined;
    });
}
