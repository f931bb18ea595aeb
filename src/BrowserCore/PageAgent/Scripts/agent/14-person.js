// ---------------------------------------------------------------------------
// The person's actions, reported as they happen on "person"; typing that has
// not been committed yet is answered by "typed".

const fields = new WeakMap();   // field -> {baseline, dirty, trusted}

function fieldState(el) {
    let state = fields.get(el);
    if (!state) {
        state = { baseline: fieldValue(el), dirty: false, trusted: true };
        fields.set(el, state);
    }
    return state;
}

function capture(el) {
    try {
        return locatorOf(el);
    } catch (e) {
        return undefined;
    }
}

function reportPerson(action, el, value, trusted) {
    const body = { action };
    if (el) {
        const target = capture(el);
        if (target) body.target = target;
    }
    if (value !== undefined) body.value = value;
    body.trusted = !!trusted;
    post('person', toJSON(body));
}

function eventTarget(e) {
    const path = e.composedPath ? e.composedPath() : [];
    const first = path[0] || e.target;
    return first && first.nodeType === 3 ? first.parentElement : first;
}

function commitTyping(el, trusted) {
    if (!el || !isEditableText(el)) return;
    const state = fieldState(el);
    const value = fieldValue(el);
    if (value === state.baseline) {
        state.dirty = false;
        return;
    }
    state.baseline = value;
    state.dirty = false;
    if (el.localName === 'input' && /^(checkbox|radio|file)$/.test(el.type)) return;
    reportPerson('fill', el, value, trusted && state.trusted);
}

// The element a click acted on, as the element list takes it: the nearest
// control, else the nearest element operated without a control's role (one
// such inside a control is the control's own part; for a box that listens
// for its items' clicks, the item clicked), else the outermost element that
// shows the pointer hand.
function clickedElement(start) {
    let operated = null, outerPointer = null, item = null;
    for (let node = start; node && node.nodeType === 1; node = flatParent(node)) {
        const tag = node.localName;
        if (tag === 'body' || tag === 'html') break;
        if (tag === 'label' && node.control) return node.control;
        const cs = styleOf(node);
        const actedOn = actedOnAs(node, tag, roleOf(node), cs.display === 'contents' ? 'visible' : cs.overflow);
        if (actedOn === 'control') return node;
        if (operated) continue;
        if (item && clicksListenedOn(node) && !repeatedItem(node)) {
            operated = item;
            continue;
        }
        if (actedOn === 'operated' || actedOn === 'listened') {
            operated = node;
            continue;
        }
        if (!item && repeatedItem(node)) {
            const text = collapse(node.textContent);
            if (text && text.length <= DELEGATED_NAME_LIMIT) item = node;
        }
        if (cs.cursor === 'pointer') outerPointer = node;
    }
    return operated || outerPointer;
}

let forwardedFromLabel = null;

function onClick(e) {
    if (acting) return;
    const start = eventTarget(e);
    if (!start || start.nodeType !== 1) return;
    readClickSigns();
    const el = clickedElement(start);
    if (!el) return;
    if (el === forwardedFromLabel) return;
    const label = closestDeep(start, n => n.localName === 'label');
    if (label && label.control === el && !containsDeep(el, start)) {
        forwardedFromLabel = el;
        setTimeout(() => { forwardedFromLabel = null; }, 0);
    }
    if (isEditableText(el) || el.localName === 'select' || el.localName === 'option') return;
    const active = deepActiveElement();
    if (active && active !== el && isEditableText(active)) commitTyping(active, e.isTrusted);
    reportPerson('click', el, undefined, e.isTrusted);
}

function onInput(e) {
    if (acting) return;
    const el = eventTarget(e);
    if (!el || !isEditableText(el)) return;
    const state = fieldState(el);
    state.dirty = true;
    state.trusted = e.isTrusted;
}

function onChange(e) {
    if (acting) return;
    const el = eventTarget(e);
    if (!el) return;
    if (el.localName === 'select') {
        const value = Array.from(el.selectedOptions, optionLabel).join(', ');
        reportPerson('select', el, value, e.isTrusted);
    } else if (isEditableText(el)) {
        commitTyping(el, e.isTrusted);
    }
}

function onFocusIn(e) {
    if (acting) return;
    const el = eventTarget(e);
    if (el && isEditableText(el)) fieldState(el);
}

function onFocusOut(e) {
    if (acting) return;
    const el = eventTarget(e);
    if (el && el.isContentEditable && el.localName !== 'input' && el.localName !== 'textarea') commitTyping(el, e.isTrusted);
}

function onKeyDown(e) {
    if (acting || e.ctrlKey || e.metaKey || e.altKey) return;
    if (e.key !== 'Enter' && e.key !== 'Escape') return;
    const el = eventTarget(e);
    const focused = el && el.nodeType === 1 ? el : null;
    if (focused && e.key === 'Enter') {
        // Enter on a button or link clicks it, and the click is reported.
        const role = roleOf(focused);
        if (role === 'button' || role === 'link' || focused.localName === 'textarea' ||
            (focused.isContentEditable && focused.localName !== 'input')) return;
    }
    if (focused && isEditableText(focused)) commitTyping(focused, e.isTrusted);
    const target = focused && focused !== document.body && (roleOf(focused) || '') ? focused : null;
    reportPerson('press', target, e.key, e.isTrusted);
}

function typed() {
    const el = deepActiveElement();
    if (!el || !isEditableText(el)) return undefined;
    const state = fields.get(el);
    if (!state || !state.dirty) return undefined;
    const value = fieldValue(el);
    state.dirty = false;
    if (value === state.baseline) return undefined;
    state.baseline = value;
    const body = { action: 'fill' };
    const target = capture(el);
    if (target) body.target = target;
    body.value = value;
    body.trusted = state.trusted;
    return body;
}

const guarded = fn => e => {
    try {
        fn(e);
    } catch (err) {
        // Recording must never disturb the page.
    }
};

window.addEventListener('click', guarded(onClick), true);
window.addEventListener('input', guarded(onInput), true);
window.addEventListener('change', guarded(onChange), true);
window.addEventListener('focusin', guarded(onFocusIn), true);
window.addEventListener('focusout', guarded(onFocusOut), true);
window.addEventListener('keydown', guarded(onKeyDown), true);

