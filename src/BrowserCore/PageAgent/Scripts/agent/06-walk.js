// ---------------------------------------------------------------------------
// The page walk: every element a person can see and use, in page order, and
// the visible text, split into main content and what lies around it.

// Not walked at all.
const SKIP_TAGS = new Set(['script', 'style', 'noscript', 'template', 'head', 'meta', 'link', 'title', 'iframe',
    'frame', 'frameset', 'object', 'embed', 'datalist', 'option', 'optgroup', 'param', 'source', 'track', 'base']);
// Walked, but their children are not page content of their own.
const LEAF_TAGS = new Set(['input', 'select', 'textarea', 'img', 'svg', 'canvas', 'video', 'audio', 'math',
    'picture', 'progress', 'meter']);
const AROUND_TAGS = new Set(['nav', 'header', 'footer', 'aside']);
const AROUND_ROLES = new Set(['navigation', 'menubar', 'menu', 'banner', 'contentinfo', 'complementary', 'search']);
const AROUND_NAMES = /^(site-?|page-?|global-?|main-?|top-?)?(header|footer|nav|navbar|navigation|menu|menubar|sidebar|side-?bar|breadcrumbs?|masthead|topbar|toolbar)$/i;

function isAroundRegion(el, role, hasMain) {
    const tag = el.localName;
    if (tag === 'nav' || role === 'navigation' || role === 'menubar' || role === 'menu') return true;
    if (hasMain) return false;
    if (role && AROUND_ROLES.has(role)) return true;
    if ((tag === 'header' || tag === 'footer') && !role) {
        return !el.parentElement || !el.parentElement.closest('article, aside, main, nav, section');
    }
    if (tag === 'aside' && !role) return true;
    if (el.id && AROUND_NAMES.test(el.id)) return true;
    const cls = el.getAttribute('class');
    if (cls) {
        for (const token of cls.split(/\s+/)) if (AROUND_NAMES.test(token)) return true;
    }
    return false;
}

function findMain() {
    for (const el of document.querySelectorAll('main, [role="main"]')) {
        if (el.checkVisibility()) return el;
    }
    return null;
}

class OutOfTime extends Error {}

// What keeps the text of a box apart from the text around it, as a reader
// sees the page: nothing for inline content (a word split over elements
// stays one word), a space around an inline block, a tab between cells and
// between the items of a row that a flex or grid container lays out side by
// side (`rowOf`: what separates the items of the row the box is in), a line
// break around other blocks.
const CELL_ROLES = new Set(['cell', 'gridcell', 'columnheader', 'rowheader']);
function textSeparator(display, role, rowOf) {
    if (role !== null) {
        if (CELL_ROLES.has(role)) return '\t';
        if (role === 'row') return '\n';
    }
    if (display === 'inline' || display === 'contents') return '';
    if (display === 'table-cell') return '\t';
    if (display.startsWith('inline')) return rowOf || ' ';
    return rowOf || '\n';
}

// What separates the items of a flex or grid container that lays them out
// side by side: a tab in a block, a space in a line of text; '' for any
// other box.
function itemsInRow(display, cs) {
    let row;
    if (display.endsWith('flex')) row = cs.flexDirection.startsWith('row');
    else if (display.endsWith('grid')) row = cs.gridTemplateColumns.replace(/\[[^\]]*\]/g, ' ').trim().split(/\s+/).length > 1;
    else return '';
    return !row ? '' : display.startsWith('inline') ? ' ' : '\t';
}

// Elements made focusable so the keyboard can scroll or read them, not to be
// clicked: a scrolling panel, a tab's panel, a region, a code block.
const FOCUS_ONLY_ROLES = new Set(['tabpanel', 'region', 'dialog', 'alertdialog', 'document', 'article', 'main',
    'group', 'list', 'table', 'grid', 'treegrid', 'log', 'status', 'feed', 'application', 'figure', 'tooltip',
    'form', 'navigation', 'complementary', 'banner', 'contentinfo', 'search']);
const FOCUS_ONLY_TAGS = new Set(['pre', 'main', 'section', 'article', 'aside', 'nav', 'table', 'ul', 'ol', 'dl',
    'form', 'dialog', 'figure', 'header', 'footer', 'code']);
function focusOnly(el, tag, role, overflow) {
    return FOCUS_ONLY_ROLES.has(role) || FOCUS_ONLY_TAGS.has(tag) || /auto|scroll/.test(overflow);
}

const NO_CURSOR_TAGS = new Set(['html', 'body', 'main', 'header', 'footer', 'nav', 'section', 'article', 'aside',
    'form', 'fieldset', 'legend', 'table', 'thead', 'tbody', 'tfoot', 'colgroup', 'col', 'ul', 'ol', 'dl']);

// How a person acts on an element, as the element list takes it: 'control'
// for one whose role names a control; 'operated' for one that no control
// role names but the page handles its clicks in the markup, it holds a state
// only something operated has, or it takes the focus for more than being
// scrolled or read; 'listened' for one the page's script listens on for
// clicks (for keys, only where the element takes them); null for any other.
// The recorder takes a click on any of them for a click step.
function actedOnAs(el, tag, role, overflow) {
    if (role !== null && WIDGET_ROLES.has(role) && tag !== 'option') return 'control';
    if (NO_CURSOR_TAGS.has(tag) || role === 'none' || role === 'presentation' ||
        role === 'dialog' || role === 'alertdialog') return null;
    if (el.hasAttributes() && (el.hasAttribute('onclick') || operatedByState(el, role) ||
        (el.hasAttribute('tabindex') && el.tabIndex >= 0 && !focusOnly(el, tag, role, overflow)))) return 'operated';
    // (A label's clicks are its control's.)
    return listenedOn(el) && (notes.get(el) === 'click' || el.tabIndex >= 0) && !(tag === 'label' && el.control) &&
        !/^(none|presentation)$/.test(explicitRole(el) || '') ? 'listened' : null;
}

// Whether a control inside a listed wrapper of the role `wrapper` is that
// same control: a wrapper nested in it, or the read-only text box that shows
// its choice (a spin button only inside a spin button: the parts of a date).
const sameControl = (wrapper, role) => !!wrapper && WRAPPER_ROLES.has(role) &&
    (role !== 'spinbutton' || wrapper === 'spinbutton');

// Children that the page places on screen itself, absolutely or moved by a
// transform, as a data grid that sorts or scrolls by moving its rows: in the
// order they are shown (top to bottom, then start to end), or null when they
// show in the document's order or anything among them lies in the flow
// (normal flow, columns, a fixed header or a badge beside content keep the
// document's order). The walk asks only of a positioned box, the only kind
// that lays out such children; a box whose first child is not placed is left
// at once, and none with more children than a person could read apart.
const SHOWN_ORDER_LIMIT = 2000;
function shownOrder(first, cs) {
    let placedChildren = null;
    for (let node = first; node; node = node.nextSibling) {
        if (node.nodeType === 3) {
            if (/\S/.test(node.data)) return null;
            continue;
        }
        if (node.nodeType !== 1 || SKIP_TAGS.has(node.localName)) continue;
        const childStyle = styleOf(node);
        if (childStyle.display === 'none') continue;
        if (!placedByPage(childStyle)) return null;
        placedChildren = placedChildren || [];
        if (placedChildren.push(node) > SHOWN_ORDER_LIMIT) return null;
    }
    if (!placedChildren || placedChildren.length < 2) return null;
    const boxes = placedChildren.map((node, index) => ({ node, index, box: node.getBoundingClientRect() }));
    boxes.sort((a, b) => a.box.top - b.box.top || a.index - b.index);
    // A line holds the boxes whose middle lies above the bottom of its first.
    const lines = [];
    for (const b of boxes) {
        const line = lines[lines.length - 1];
        if (line && (b.box.top + b.box.bottom) / 2 < line[0].box.bottom) line.push(b);
        else lines.push([b]);
    }
    const rtl = cs.direction === 'rtl';
    const across = rtl ? (a, b) => b.box.right - a.box.right || a.index - b.index
        : (a, b) => a.box.left - b.box.left || a.index - b.index;
    const shown = [];
    for (const line of lines) shown.push(...line.sort(across));
    if (shown.every((b, i) => b.index === i)) return null;
    return shown.map(b => b.node);
}

// Whether the page places a box itself rather than leaving it to the flow:
// absolutely, or moved by a transform (a transform that only scales or
// lifts a box onto a layer of its own moves it nowhere).
function placedByPage(cs) {
    if (cs.display === 'contents') return false;
    if (cs.position === 'absolute') return true;
    const transform = cs.transform;
    if (transform && transform !== 'none') {
        try {
            const m = new DOMMatrixReadOnly(transform);
            if (Math.abs(m.m41) >= 1 || Math.abs(m.m42) >= 1) return true;
        } catch (e) { /* a transform the matrix cannot read */ }
    }
    const translate = cs.translate;
    return !!translate && translate !== 'none' && /[1-9]/.test(translate);
}

// Controls that a click checks, whatever input they hold to do it.
const CHECKED_BY_CLICK = new Set(['checkbox', 'switch', 'radio', 'menuitemcheckbox', 'menuitemradio', 'option']);

function walkPage(options) {
    const withText = options.text;
    const until = options.until;
    const items = [];
    const html = document.documentElement;
    const mainEl = withText ? findMain() : null;
    const hasMain = !!mainEl;
    const text = new PageText(hasMain);
    const viewport = viewportRect();
    const stack = [];      // the frames of the elements being visited, outermost first
    let order = 0;         // elements entered so far: page order of items
    let kept = 0;          // items kept so far: a clickable container holds none of its own
    let counter = 0;

    const addText = (data, region, pre) => text.add(data, pre, region);
    const separate = sep => text.separate(sep);

    // An element that shows the pointer hand without being a control is
    // clicked as a whole: the outermost element of that hand is listed. The
    // cursor is read only above text and icons (an image, a drawing, or an
    // element without content that CSS draws), where such a thing can be.
    // One found through an icon alone is described by the icon.
    function pointerAbove(icon) {
        let top = -1;
        for (let i = stack.length - 1; i >= 0; i--) {
            const frame = stack[i];
            if (frame.noCursor) break;
            if (!handOver(i)) break;
            top = i;
            if (frame.item) {
                if (icon && frame.item.listened) frame.item.icon = true;
                return;
            }
        }
        if (top < 0) return;
        const frame = stack[top];
        const el = frame.el, role = explicitRole(el);
        if (role === 'none' || role === 'presentation' || role === 'dialog' || role === 'alertdialog' ||
            (el.localName === 'label' && el.control)) return;
        frame.item = { el, role: role || 'generic', generic: true, rect: null, view: null, proxy: null, order: frame.order,
            icon: !!icon };
        items.push(frame.item);
    }

    // Whether the element at stack[i] shows the pointer hand, now or under
    // the pointer: by a rule of its own, or inherited from the element that
    // holds it, which a cursor of its own would undo.
    function handOver(i) {
        if (stack[i].hand !== undefined) return stack[i].hand;
        const inheriting = [];
        let hand = false;
        for (let k = i; k >= 0; k--) {
            const frame = stack[k];
            if (frame.hand !== undefined) {
                hand = frame.hand;
                break;
            }
            const cursor = styleOf(frame.el).cursor;
            if (cursor === 'pointer' || hoverPointer(frame.el)) {
                hand = true;
                inheriting.push(frame);
                break;
            }
            if (cursor !== 'auto') {
                inheriting.push(frame);
                break;
            }
            inheriting.push(frame);
        }
        for (const frame of inheriting) frame.hand = hand;
        return stack[i].hand;
    }

    // An icon in an element the page listens on describes it when nothing
    // names it, as it does one that shows the pointer hand.
    function iconInItem() {
        for (let i = stack.length - 1; i >= 0; i--) {
            const frame = stack[i];
            if (frame.item) {
                if (frame.item.listened) frame.item.icon = true;
                return;
            }
            if (frame.noCursor) return;
        }
    }

    // A listener on a component's box that answers the clicks on what it
    // holds (event delegation): the item a shown text lies in is listed,
    // the nearest element above the text that repeats among its siblings
    // (a cell, a day, an item of a list), unless the text already lies in
    // something listed.
    function delegatedAbove() {
        let found = null;
        for (let i = stack.length - 1; i >= 0; i--) {
            const frame = stack[i];
            if (frame.delegate) break;
            if (frame.item) return;
            if (!found && !frame.noCursor && repeatedItem(frame.el)) found = frame;
        }
        if (!found) return;
        found.item = { el: found.el, role: roleOf(found.el) || 'generic', generic: true, rect: null, view: null,
            proxy: null, order: found.order, delegated: true };
        items.push(found.item);
    }

    // Visits one element and what it holds; returns where its visible
    // content lies, or null when none of it shows. The tree is walked with a
    // stack of its own, not by recursion, so that no depth of nesting a page
    // builds can exhaust the script's call stack: each open element is a
    // visit in progress, entered before its children and left after them.
    function visit(root, rootState, rootCtx) {
        const open = [];
        let done = enter(root, rootState, rootCtx, null);
        if (done.visit) open.push(done.visit);
        else return done.value;
        while (open.length) {
            const at = open[open.length - 1];
            const child = nextChild(at);
            if (child) {
                const entered = enter(child, at.childState, at.childCtx, at);
                if (entered.visit) open.push(entered.visit);
                else if (entered.value) at.inner = union(at.inner, entered.value);
                continue;
            }
            open.pop();
            const value = leave(at);
            if (!open.length) return value;
            if (value) open[open.length - 1].inner = union(open[open.length - 1].inner, value);
        }
        return null;
    }

    // Everything about an element that comes before its children (`parent`
    // is the visit of the element that holds it). Gives {value} for an
    // element whose visit ends here, else {visit}.
    function enter(el, state, ctx, parent) {
        const tag = el.localName;
        if (SKIP_TAGS.has(tag)) return { value: null };
        if (until && (++counter & 255) === 0 && Date.now() > until) throw new OutOfTime();

        const cs = styleOf(el);
        const display = cs.display;
        if (display === 'none' || cs.opacity === '0') {
            if (!ctx.editable) hiddenControl(el, ctx);
            return { value: null };
        }
        const boxless = display === 'contents';
        const styleShows = cs.visibility === 'visible';
        const position = cs.position;
        const overflow = boxless ? 'visible' : cs.overflow;
        const own = ownClips(state, position);

        // Is it something a person acts on? (Most elements carry no attribute
        // at all, which spares the lookups.)
        const hasAttributes = el.hasAttributes();
        const role = ctx.editable ? null : hasAttributes ? roleOf(el) : bareRole(el, tag);
        const actedOn = actedOnAs(el, tag, role, overflow);
        // The field a wrapper of a control types into is that control, and so
        // is a wrapper or read-only text box that the wrapper holds.
        const listed = actedOn === 'control' && el !== ctx.field && !sameControl(ctx.wrapper, role);
        const frame = { el, order: order++, item: null, hand: undefined, noCursor: false, keptBefore: kept,
            delegate: false };
        let field = ctx.field;
        if (listed) {
            const wraps = WRAPPER_ROLES.has(role) && !isEditableText(el) ? typingTarget(el) : null;
            if (wraps) field = wraps;
            frame.item = { el, role, generic: false, rect: null, view: null, proxy: null, order: frame.order, field: wraps,
                within: ctx.holder && ctx.holder.role === role && !ITEM_ROLES.has(role) ? ctx.holder : null };
            items.push(frame.item);
        } else if (ctx.inWidget || ctx.editable || NO_CURSOR_TAGS.has(tag)) {
            frame.noCursor = true;
        } else if (actedOn !== null) {
            frame.item = { el, role: role || 'generic', generic: true, rect: null, view: null, proxy: null, order: frame.order,
                listened: actedOn === 'listened' };
            items.push(frame.item);
        }
        // A box the page listens on for clicks may answer for the items it
        // holds; one that is an item of a list itself (a row) is the item.
        if (!listed && !ctx.inWidget && !ctx.editable && clicksListenedOn(el) && !repeatedItem(el)) {
            frame.delegate = true;
            frame.itemsAt = items.length;
        }

        // Its box, only where something needs it.
        let box = null;
        const needBox = !boxless && (listed || frame.item || overflow !== 'visible' ||
            position === 'absolute' || position === 'fixed');
        if (needBox) box = rectOf(el.getBoundingClientRect());

        let region = ctx.region;
        if (withText && region !== 'around') {
            if (hasMain && el === mainEl) region = 'main';
            else if ((hasAttributes || AROUND_TAGS.has(tag)) && isAroundRegion(el, role, hasMain)) region = 'around';
        }
        const editable = ctx.editable || (role === 'textbox' && el.isContentEditable);
        const pre = ctx.pre || tag === 'pre';
        const delegated = ctx.delegated || frame.delegate;
        const childCtx = region === ctx.region && !listed && editable === ctx.editable && pre === ctx.pre &&
            delegated === ctx.delegated
            ? ctx
            : { region, inWidget: ctx.inWidget || listed, editable, pre, field, delegated,
                wrapper: listed ? (WRAPPER_ROLES.has(role) ? role : null) : ctx.wrapper,
                widget: listed ? role : ctx.widget, holder: listed ? frame.item : ctx.holder };
        const childState = box ? childClips(state, el, cs, position, box, own) : (position === 'static' ? state : {
            hard: own.hard, view: own.view, absHard: own.hard, absView: own.view,
        });

        const rowOf = parent ? parent.rowItems : '';
        const sep = withText ? textSeparator(display, role, rowOf) : '';
        if (sep) separate(sep);

        stack.push(frame);
        const at = {
            el, tag, cs, ctx, own, frame, box, boxKnown: needBox || boxless, boxless, styleShows, overflow, listed,
            region, pre, childCtx, childState, sep, inner: null, ownShows: false, textChecked: false,
            preText: null, list: null, index: 0, child: null,
            rowItems: !withText ? '' : boxless ? rowOf : itemsInRow(display, cs),
            bare: !el.firstElementChild && !el.shadowRoot && !LEAF_TAGS.has(tag) && tag !== 'br',
        };
        if (tag === 'br') {
            if (withText && styleShows) separate('\n');
        } else if (tag === 'details' && !el.open) {
            // Only the summary of a closed disclosure shows.
            for (let child = el.firstElementChild; child; child = child.nextElementSibling) {
                if (child.localName === 'summary') {
                    at.list = [child];
                    at.child = child;
                    break;
                }
            }
        } else if (LEAF_TAGS.has(tag)) {
            if (!ctx.inWidget && !listed && (tag === 'img' || tag === 'svg')) {
                iconInItem();
                pointerAbove(true);
            }
        } else {
            // The flat tree: a shadow root's content, a slot's assigned nodes.
            const shadow = el.shadowRoot;
            let list;
            if (shadow) {
                at.child = shadow.firstChild;
            } else if (tag === 'slot' && el.getRootNode().host && (list = el.assignedNodes()).length) {
                at.list = list;
                at.child = list[0];
            } else {
                at.child = el.firstChild;
            }
            // Only a positioned box holds children the page places itself.
            if (!at.list && position !== 'static' && (shadow || el).childElementCount > 1 &&
                (list = shownOrder(at.child, cs))) {
                at.list = list;
                at.child = list[0];
            }
        }
        return { visit: at };
    }

    // The next element child to visit; the text between is taken on the way.
    function nextChild(at) {
        while (at.child) {
            const child = at.child;
            at.child = at.list ? at.list[++at.index] : child.nextSibling;
            const type = child.nodeType;
            if (type === 1) return child;
            if (type === 3) takeText(at, child);
        }
        return null;
    }

    function takeText(at, node) {
        const data = node.data;
        if (!/\S/.test(data)) {
            if (withText && at.styleShows) addText(data, at.region, at.pre);
            return;
        }
        if (!at.textChecked) {
            at.textChecked = true;
            if (!at.boxKnown) {
                at.box = rectOf(at.el.getBoundingClientRect());
                at.boxKnown = true;
            }
            // Text of an element without a box of its own shows where its
            // parent does.
            const seen = at.box ? intersect(at.box, at.own.hard) : null;
            at.ownShows = at.styleShows && (at.boxless || (!!seen && (shows(seen) ||
                (at.overflow === 'visible' && textShows(node, at.childState)))));
            if (at.ownShows && !at.ctx.inWidget && !at.listed && !at.ctx.editable) {
                pointerAbove();
                if (at.childCtx.delegated) delegatedAbove();
            }
        }
        if (!withText || !at.ownShows) return;
        // White space matters only where it could show.
        if (at.preText === null && (at.pre || /[\n\r\t]| {2}/.test(data))) {
            at.preText = at.pre || /^pre|^break/.test(at.cs.whiteSpace);
        }
        addText(data, at.region, at.preText === true);
    }

    // Everything about an element that comes after its children.
    function leave(at) {
        // An element without content that shows the pointer hand, or that is
        // clicked itself, is an icon that CSS draws (a glyph of an icon font,
        // a background image).
        let box = at.box;
        if (at.bare && !at.textChecked && !at.listed && !at.frame.noCursor) {
            const hand = handOver(stack.length - 1);
            if (hand || at.frame.item) {
                if (!at.boxKnown) box = at.box = rectOf(at.el.getBoundingClientRect());
                at.boxKnown = true;
                if (at.styleShows && shows(box && intersect(box, at.own.hard))) {
                    if (hand) pointerAbove(true);
                    else if (at.frame.item.listened) at.frame.item.icon = true;
                }
            }
        }
        stack.pop();
        if (at.sep) separate(at.sep);

        if (at.frame.delegate) explainedListener(at.frame);
        // A clickable element found through its content needs its box now.
        if (at.frame.item && !at.boxKnown) box = rectOf(at.el.getBoundingClientRect());
        const seen = box ? intersect(box, at.own.hard) : null;
        const visible = at.styleShows && shows(seen) ? seen : null;
        if (at.frame.item) finishItem(at.frame, visible, at.own, at.inner);
        return visible || (at.ownShows && seen) || at.inner;
    }

    function finishItem(frame, seen, own, inner) {
        const item = frame.item;
        let rect = seen, view = seen ? intersect(seen, own.view) : null;
        if (!rect && inner) {
            rect = inner;
            view = intersect(inner, own.view);
        }
        // What assistive technology is not told of and nobody can use (a
        // calendar's blank padding day) is nothing to a person.
        if (isDisabled(item.el) && closestDeep(item.el, n => n.getAttribute('aria-hidden') === 'true')) {
            item.drop = true;
            return;
        }
        if (item.generic) {
            // A clickable container of other controls is not one itself:
            // its controls are what a person uses. A header or a named day
            // is, unless what it holds carries its name; a trigger is, whose
            // controls lie in the popup it opened.
            if (kept > frame.keptBefore && (!holdsOwnTitle(item.el, item.role) || keptWithName(item)) &&
                !popupsOf(item, frame, rect)) {
                item.drop = true;
                return;
            }
            if (rect) {
                item.name = itemName(item);
                if (!item.name && !item.icon && !(item.el.hasAttribute('tabindex') && item.el.tabIndex >= 0)) {
                    item.drop = true;
                    return;
                }
                // A handle that shows nothing to read, listened on to be
                // dragged (its cursor says so: a column's resize handle, a
                // grip), is nothing to click.
                if (item.listened && (item.described || symbolsOnly(item.name)) && dragged(item.el)) {
                    item.drop = true;
                    return;
                }
                // An item of a list a listener answers for is one of short text.
                if (item.delegated && item.name.length > DELEGATED_NAME_LIMIT) {
                    item.drop = true;
                    return;
                }
            }
        }
        if (!rect) {
            const standIn = standInFor(item.el);
            if (!standIn) {
                item.drop = true;
                return;
            }
            item.proxy = standIn.by;
            item.box = standIn.box;
            rect = standIn.v.rect;
            view = standIn.v.view;
        }
        item.rect = rect;
        item.view = view ? intersect(view, viewport) : null;
        kept++;
    }

    // A box's listener that what it holds explains (controls, days listed by
    // their own roles or hands) answers for those: the items of short text
    // listed for it alone are not listed.
    function explainedListener(frame) {
        let explained = false;
        for (let i = frame.itemsAt; i < items.length && !explained; i++) {
            explained = !items[i].drop && !!items[i].rect && !items[i].delegated;
        }
        if (!explained) return;
        for (let i = frame.itemsAt; i < items.length; i++) {
            const item = items[i];
            if (!item.delegated || item.drop) continue;
            item.drop = true;
            if (item.rect) kept--;
        }
    }

    // Whether the controls kept inside a clickable element all lie in what it
    // opened: it says it is expanded, or they lie outside its own box, in a
    // layer of their own. Then its name leaves them out (`skip`: the parts of
    // it that hold them).
    function popupsOf(item, frame, rect) {
        const expanded = item.el.getAttribute('aria-expanded') === 'true';
        if (!expanded && !rect) return false;
        const skip = new Set();
        for (let i = items.length - 1; i >= 0 && items[i] !== item; i--) {
            const inner = items[i];
            if (inner.drop || !inner.rect || !containsDeep(item.el, inner.el)) continue;
            if (!expanded && intersect(inner.rect, rect)) return false;
            let part = inner.el;
            while (part && flatParent(part) !== item.el) part = flatParent(part);
            if (part) skip.add(part);
        }
        if (!skip.size) return false;
        item.skip = skip;
        return true;
    }

    // Whether an item kept inside `item` carries its name.
    function keptWithName(item) {
        const name = accessibleName(item.el, true);
        for (let i = items.length - 1; i >= 0 && items[i] !== item; i--) {
            const inner = items[i];
            if (inner.drop || !inner.rect || !containsDeep(item.el, inner.el)) continue;
            if (inner.name === undefined) inner.name = itemName(inner);
            if (sameName(inner.name, name) || ownSortButton(name, inner)) return true;
        }
        return false;
    }

    // Whether a header's name is its title, alone or followed by the name of
    // a button it holds, and that button names the title ("Name", "Sort by
    // Name"): the header's own sort button, the one control of the two a
    // person clicks.
    function ownSortButton(headerName, inner) {
        if (inner.role !== 'button' || !inner.name) return false;
        const header = collapse(headerName), button = collapse(inner.name);
        const at = header.indexOf(button);
        const title = (at < 0 ? header : collapse(header.slice(0, at) + ' ' + header.slice(at + button.length))).toLowerCase();
        return !!title && button.toLowerCase().includes(title);
    }

    function textShows(node, state) {
        const range = document.createRange();
        range.selectNodeContents(node);
        return !!intersect(rectOf(range.getBoundingClientRect()), state.hard);
    }

    // A control that is hidden itself but used through its visible label or
    // the box it lies over (inside a listed control, that control is used).
    function hiddenControl(el, ctx) {
        if (!/^(input|select|textarea)$/.test(el.localName)) return;
        // A switch or a checkbox drawn around a hidden input of its own is
        // that input.
        if (ctx.inWidget && CHECKED_BY_CLICK.has(ctx.widget)) return;
        const standIn = ctx.inWidget ? labelStandIn(el) : standInFor(el);
        if (!standIn) return;
        items.push({
            el, role: roleOf(el), generic: false, rect: standIn.v.rect,
            view: standIn.v.view ? intersect(standIn.v.view, viewport) : null, proxy: standIn.by, box: standIn.box,
            order: order++,
        });
        kept++;
    }

    // A control that a control of its role and name holds (the page's button
    // slotted into a component's own button) is that one control; an item
    // of a collection holds items of its own by design (a tree's folder).
    function sameAsHolder(item) {
        const holder = item.within;
        if (!holder || holder.drop) return false;
        if (holder.name === undefined) holder.name = itemName(holder);
        if (item.name === undefined) item.name = itemName(item);
        return sameName(item.name, holder.name);
    }

    readClickSigns();
    if (html) {
        visit(html, rootClips(), { region: null, inWidget: false, editable: false, pre: false, delegated: false });
    }
    const kept_ = items.filter(i => !i.drop && !sameAsHolder(i));
    kept_.sort((a, b) => a.order - b.order);
    return {
        items: kept_,
        text: text.all.toString().trim(),
        main: text.main.toString().trim(),
        around: text.around.toString().trim(),
        hasMain,
    };
}

