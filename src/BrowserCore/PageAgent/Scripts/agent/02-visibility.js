// ---------------------------------------------------------------------------
// Clipping as the person sees it. A walk state carries, for the children of
// an element, the area they can be seen in ("hard": overflow hidden or clip,
// and what lies before the document's start, which no scrolling reaches) and
// the area they show in now ("view": every clip, scroll containers included).
// Absolutely positioned children are clipped only by what clips their
// containing block, so the state keeps those areas apart.

function rootClips() {
    const html = document.documentElement, body = document.body;
    const sx = window.scrollX, sy = window.scrollY;
    const hard = { l: -sx, t: -sy, r: Infinity, b: Infinity };
    // Content pushed sideways off a page that cannot scroll sideways (an
    // off-canvas menu) cannot be reached.
    const hiddenX = el => {
        if (!el) return false;
        const o = styleOf(el).overflowX;
        return o === 'hidden' || o === 'clip';
    };
    if (hiddenX(html) || hiddenX(body)) hard.r = document.documentElement.clientWidth - sx;
    const view = viewportRect();
    return { hard, view, absHard: hard, absView: view };
}

// The clips that apply to an element itself, given its parent's state.
function ownClips(state, position) {
    if (position === 'fixed') {
        const vp = viewportRect();
        return { hard: vp, view: vp };
    }
    if (position === 'absolute') return { hard: state.absHard, view: state.absView };
    return state;
}

// The state for an element's children.
function childClips(state, el, cs, position, box, own) {
    let hard = own.hard, view = own.view;
    const tag = el.localName;
    if (box && tag !== 'html' && tag !== 'body') {
        const overflow = cs.overflow;
        if (overflow !== 'visible') {
            const [ox, oy = ox] = overflow.split(' ');
            const inner = {
                l: box.l + el.clientLeft, t: box.t + el.clientTop,
                r: box.l + el.clientLeft + el.clientWidth, b: box.t + el.clientTop + el.clientHeight,
            };
            const clipX = ox === 'hidden' || ox === 'clip', clipY = oy === 'hidden' || oy === 'clip';
            const scrolls = ox === 'auto' || ox === 'scroll' || oy === 'auto' || oy === 'scroll';
            const seen = intersect(box, own.hard);
            if (scrolls && !seen) {
                hard = EMPTY;
            } else {
                hard = {
                    l: clipX ? Math.max(hard.l, inner.l) : (ox === 'visible' ? hard.l : -Infinity),
                    r: clipX ? Math.min(hard.r, inner.r) : (ox === 'visible' ? hard.r : Infinity),
                    t: clipY ? Math.max(hard.t, inner.t) : (oy === 'visible' ? hard.t : -Infinity),
                    b: clipY ? Math.min(hard.b, inner.b) : (oy === 'visible' ? hard.b : Infinity),
                };
            }
            view = intersect(view, inner) || EMPTY;
        }
        if (position === 'absolute' || position === 'fixed') {
            const clip = cs.clip;
            if (clip && clip !== 'auto' && /^rect/.test(clip)) {
                const n = clip.match(/-?[\d.]+/g) || [];
                if (n.length === 4) {
                    const c = { l: box.l + +n[3], t: box.t + +n[0], r: box.l + +n[1], b: box.t + +n[2] };
                    hard = intersect(hard, c) || EMPTY;
                    view = intersect(view, c) || EMPTY;
                }
            }
        }
    }
    const positioned = position !== 'static';
    if (hard === state.hard && view === state.view && !positioned) return state;
    return {
        hard, view,
        absHard: positioned ? hard : state.absHard,
        absView: positioned ? view : state.absView,
    };
}

// Where an element can be seen, or null when a person cannot see it at all:
// not rendered, display none, visibility hidden, opacity 0, no size, clipped
// away, or off the page where no scrolling reaches. `view` is the part that
// is on screen now (null when none).
function visibility(el) {
    if (!el || !el.isConnected || el.nodeType !== 1) return null;
    const chain = [];
    for (let node = flatParent(el); node && node.nodeType === 1; node = flatParent(node)) chain.push(node);
    let state = rootClips();
    for (let i = chain.length - 1; i >= 0; i--) {
        const a = chain[i];
        const cs = styleOf(a);
        if (cs.display === 'none') return null;
        const position = cs.position;
        const own = ownClips(state, position);
        const box = cs.display === 'contents' ? null : rectOf(a.getBoundingClientRect());
        state = childClips(state, a, cs, position, box, own);
    }
    return visibilityIn(el, state, 0);
}

function visibilityIn(el, state, depth) {
    const cs = styleOf(el);
    const display = cs.display;
    if (display === 'none') return null;
    if (display === 'contents' || !el.checkVisibility({ opacityProperty: true, visibilityProperty: true })) {
        if (display !== 'contents' && !el.checkVisibility({ opacityProperty: true })) return null;
        // Children may still show: visibility is inherited but can be undone.
        return depth < 3 ? childrenVisibility(el, cs, state, null, depth) : null;
    }
    const position = cs.position;
    const own = ownClips(state, position);
    const box = rectOf(el.getBoundingClientRect());
    const seen = intersect(box, own.hard);
    if (shows(seen)) {
        const view = intersect(seen, own.view);
        return { rect: seen, view: shows(view) ? intersect(view, viewportRect()) : null };
    }
    // A box without size can still hold content that shows (an inline link
    // around a block, a collapsed container whose content overflows).
    if (depth < 3 && cs.overflow === 'visible') {
        return childrenVisibility(el, cs, childClips(state, el, cs, position, box, own), box, depth);
    }
    return null;
}

function childrenVisibility(el, cs, state, box, depth) {
    let rect = null, view = null;
    for (const child of flatChildren(el)) {
        if (child.nodeType !== 1) continue;
        const v = visibilityIn(child, state, depth + 1);
        if (v) {
            rect = union(rect, v.rect);
            view = union(view, v.view);
        }
    }
    return rect ? { rect, view } : null;
}

// The labels of each control, found once per command and tree: the engine's
// own list walks the whole document for every control whose labels are asked
// for after the page last changed.
let labelMaps = new Map();
function labelsOf(el) {
    const root = el.getRootNode();
    let map = labelMaps.get(root);
    if (!map) {
        map = new Map();
        if (root.querySelectorAll) {
            for (const label of root.querySelectorAll('label')) {
                const control = label.control;
                if (!control) continue;
                const list = map.get(control);
                if (list) list.push(label);
                else map.set(control, [label]);
            }
        }
        labelMaps.set(root, map);
    }
    return map.get(el) || [];
}

// A control hidden itself that a person uses through what stands in for it
// on the page: a checkbox or radio button behind its styled label, or a
// field laid with opacity 0 over the box that shows it (a select that a
// component draws), used through that box.
function standInFor(el) {
    return labelStandIn(el) || boxStandIn(el) || pickerStandIn(el);
}

function labelStandIn(el) {
    if (el.localName !== 'input' || !/^(checkbox|radio|file)$/.test(el.type)) return null;
    for (const label of labelsOf(el)) {
        const v = visibility(label);
        if (v) return { by: label, v, box: false };
    }
    return null;
}

// The box that shows the field: the outermost of the three elements above
// it that the field covers nearly whole (a component nests the field in a
// wrapper or two inside the box that also holds the shown choice). A field
// that takes no clicks, or covers a small part of what holds it (an input
// kept for the keyboard alone), has none.
function boxStandIn(el) {
    if (!/^(input|select|textarea)$/.test(el.localName) || el.type === 'hidden') return null;
    const cs = styleOf(el);
    if (cs.opacity !== '0' || cs.pointerEvents === 'none') return null;
    // A field kept from assistive technology and from the keyboard is the
    // form's copy of a component's value: the component's own control is
    // what a person uses.
    if (el.tabIndex < 0 && closestDeep(el, n => n.getAttribute('aria-hidden') === 'true')) return null;
    const field = rectOf(el.getBoundingClientRect());
    const area = r => (r.r - r.l) * (r.b - r.t);
    let found = null;
    let node = flatParent(el);
    for (let depth = 0; node && node.nodeType === 1 && depth < 3; depth++, node = flatParent(node)) {
        const box = rectOf(node.getBoundingClientRect());
        if (!shows(box)) continue;
        const covered = intersect(field, box);
        if (!covered || area(covered) < 0.8 * area(box)) break;
        found = node;
    }
    const v = found && visibility(found);
    return v ? { by: found, v, box: true } : null;
}

// The field a person clicks to open a list, for the unseen combobox input
// that a select component keeps inside it for the keyboard (a pixel wide,
// or with opacity 0): the outermost element above it, within four, that
// shows the pointer hand.
function pickerStandIn(el) {
    if (!/^(input|select)$/.test(el.localName) || el.type === 'hidden' || explicitRole(el) !== 'combobox') return null;
    let found = null;
    let node = flatParent(el);
    for (let depth = 0; node && node.nodeType === 1 && depth < 4; depth++, node = flatParent(node)) {
        if (node.localName === 'body' || node.localName === 'html') break;
        if (styleOf(node).cursor === 'pointer') found = node;
        else if (found) break;
    }
    const v = found && visibility(found);
    return v ? { by: found, v, box: true } : null;
}
