// ---------------------------------------------------------------------------
// Element records.

function optionsText(labels) {
    const shown = labels.slice(0, OPTIONS_SHOWN).join(' | ');
    return labels.length > OPTIONS_SHOWN ? `${shown} | \u2026 ${labels.length - OPTIONS_SHOWN} more` : shown;
}

const optionLabel = o => collapse(o.label || o.text);

function frameName() {
    if (isTopFrame) return undefined;
    try {
        const fe = window.frameElement;
        if (fe) {
            const n = fe.getAttribute('title') || fe.getAttribute('name') || fe.id;
            if (n) return cut(collapse(n), 60);
        }
    } catch (e) { /* another origin */ }
    if (window.name) return cut(collapse(window.name), 60);
    return location.host || 'an inline frame';
}

function elementRecord(item, ref, name, context, frame) {
    const el = item.el, role = item.role, tag = el.localName;
    const rec = { ref: 'e' + ref, role, name, tag };
    if (context) rec.context = context;
    if (frame) rec.frame = frame;

    let value;
    if (tag === 'select') {
        value = Array.from(el.selectedOptions, optionLabel).filter(Boolean).join(', ');
    } else if (tag === 'input' || tag === 'textarea') {
        if (!/^(button|submit|reset|image|checkbox|radio|hidden)$/.test(el.type)) {
            value = el.value;
            if (el.type === 'file' && el.files && el.files.length) {
                value = Array.from(el.files, f => f.name).join(', ');
            }
            if (isSecret(el)) value = '\u2022'.repeat(Math.min(value.length, 40));
        }
    } else if (el.isContentEditable && role === 'textbox') {
        value = collapse(el.innerText);
    } else if (item.field) {
        // A wrapper shows what the field it types into holds.
        value = fieldValue(item.field);
        if (isSecret(item.field)) value = '\u2022'.repeat(Math.min(value.length, 40));
    } else if (role === 'slider' || role === 'spinbutton' || role === 'combobox' || role === 'textbox' || role === 'searchbox') {
        value = el.getAttribute('aria-valuetext') || el.getAttribute('aria-valuenow') || undefined;
        // A list that is not a field shows its choice as its text, without
        // that of the controls it holds (a clear button) or of a glyph.
        if (value === undefined && role === 'combobox') value = collapse(visibleText(el, null, besideChoice)) || undefined;
    }
    // A field laid unseen over its own box shows what the box shows, but
    // for the label the box may show beside the choice.
    if (!value && item.box && VALUED_ROLES.has(role)) {
        value = collapse(visibleText(item.proxy, null, child => !!name && sameName(child.textContent, name)));
    }
    if (value) rec.value = cut(value, VALUE_LIMIT);

    const checked = checkedState(el, role);
    if (checked !== undefined) rec.checked = checked;
    if (isDisabled(el)) rec.disabled = true;
    if (role === 'link') {
        const href = el.href;
        if (typeof href === 'string' && href && !/^javascript:/i.test(href)) rec.href = href;
    }
    if (tag === 'input' && !/^(text|checkbox|radio|submit|button|reset|hidden|search)$/.test(el.type)) {
        rec.type = el.type;
    }
    if (el.required || el.getAttribute('aria-required') === 'true') rec.required = true;
    if (tag === 'select') {
        rec.options = optionsText(Array.from(el.options, optionLabel).filter(Boolean));
    } else if (tag === 'input' && el.list) {
        const labels = Array.from(el.list.options, o => collapse(o.value || o.label)).filter(Boolean);
        if (labels.length) rec.options = optionsText(labels);
    }
    return rec;
}

const VALUED_ROLES = new Set(['combobox', 'listbox', 'textbox', 'searchbox', 'spinbutton']);
const besideChoice = child => {
    const role = roleOf(child);
    return (WIDGET_ROLES.has(role) && !WRAPPER_ROLES.has(role)) || symbolsOnly(collapse(child.textContent));
};

function checkedState(el, role) {
    if (el.localName === 'input' && (el.type === 'checkbox' || el.type === 'radio')) return el.checked;
    const aria = name => {
        const v = el.getAttribute(name);
        return v === null ? undefined : v === 'true';
    };
    switch (role) {
    case 'checkbox': case 'radio': case 'switch': case 'menuitemcheckbox': case 'menuitemradio':
        return aria('aria-checked') ?? false;
    case 'option': case 'tab': case 'treeitem':
        return aria('aria-selected') ?? aria('aria-checked');
    case 'button':
        return aria('aria-pressed');
    }
    return undefined;
}

// Text that tells repeated elements apart, or places a choice in its group:
// the listed element, row, list item, group or section that holds it, never
// the text of what stands beside it there. `roles` and `names` map each
// listed element to its role and name.
function contextOf(el, name, grouped, memo, roles, names) {
    const role = roles.get(el);
    // A row of equals (the days of a week) says nothing of one of them: what
    // holds the rows (the month) does, by its label or the header above it.
    let rowsOf = null, week = null;
    let node = flatParent(el), from = el;
    for (let depth = 0; node && node.nodeType === 1 && depth < 12; depth++, from = node, node = flatParent(node)) {
        const tag = node.localName;
        if (tag === 'body' || tag === 'html') break;
        const nodeRole = explicitRole(node);
        const label = memo(node, 'label', () => groupLabel(node, tag, nodeRole));
        if (label) return label;
        // An element held by a listed one (a folder's expander) is placed in
        // it, by its name.
        const holder = roles.has(node) ? names.get(node) : '';
        if (holder && holder !== name) return holder;
        if (grouped) continue;
        if (rowsOf) {
            if (node !== rowsOf) continue;
            // The month of a day's date places it where the page writes it;
            // else a day of the month before or after, drawn in this month's
            // weeks, is placed by its week, not by the month of the caption.
            if (DAY_NAME.test(name)) {
                const month = monthOf(el);
                if (month) return month;
                const own = memo(node, 'month', () => monthDays(node, names));
                if (own && !own.has(el)) return collapse(visibleText(week));
            }
            return memo(node, 'caption', () => captionOf(node));
        }
        if (tag === 'tr' || nodeRole === 'row') {
            // Each header of a row of headers heads a column of its own: the
            // text of the others is a neighbour's.
            if (isColumnHeader(from)) {
                const t = collapse(visibleText(from, el, child => roles.has(child)));
                return t !== name ? t : '';
            }
            const cells = memo(node, 'cells', () => rowCells(node));
            const holding = cells.length >= 5 ? memo(node, 'cells by role', () => cellsByRole(cells, roles)).get(role) : null;
            const equals = holding ? cells.filter(cell => cell !== from && holding.has(cell)) : [];
            if (equals.length >= 4 && equals.length >= cells.length - 2) {
                // A week number or other header of the row names it.
                for (const cell of cells) {
                    if (cell === from || equals.includes(cell)) continue;
                    const t = memo(cell, 'own text', () => collapse(visibleText(cell, null, child => roles.has(child))));
                    if (t && t !== name) return t;
                }
                rowsOf = closestDeep(node, isTable);
                if (!rowsOf) return '';
                week = node;
                continue;
            }
            // The row's own text: what its controls say is theirs.
            const own = rowText(cells, from, name, memo, roles);
            if (own) return own;
            // A row of controls alone (a grid's filters) is placed by the
            // header of each one's column.
            const header = memo(from, 'column', () => columnHeaderOf(from, memo));
            if (header && header !== name) return header;
            // A grid that draws its fixed columns (a row's checkbox) in a
            // table of their own shows each row across both tables: the row
            // a person sees goes on in the other one, on the same line.
            const across = lineOf(node, memo);
            if (across) {
                const t = rowText(memo(across, 'cells', () => rowCells(across)), null, name, memo, roles);
                if (t) return t;
            }
        }
        if (tag === 'li' || tag === 'article' || tag === 'section' || tag === 'tr' ||
            nodeRole === 'listitem' || nodeRole === 'row' || nodeRole === 'article' || depth >= 2) {
            // A large container says nothing about one control in it.
            if (memo(node, 'size', () => node.getElementsByTagName('*').length) > 60) continue;
            // Its heading, or the one label it holds (an editor's, above its
            // toolbar), names it.
            const heading = memo(node, 'heading', () => node.querySelector('h1, h2, h3, h4, h5, h6, [role="heading"]') ||
                soleLabel(node));
            if (heading && !containsDeep(heading, el)) {
                const t = memo(heading, 'text', () => collapse(visibleText(heading)));
                if (t) return t;
            }
            const t = collapse(visibleText(node, el));
            if (t && t !== name) return t;
        }
    }
    return '';
}

const isTable = n => n.localName === 'table' || /^(grid|treegrid|table)$/.test(explicitRole(n) || '');

const rowCells = row => Array.from(row.querySelectorAll(
    ':scope > td, :scope > th, :scope > [role="cell"], :scope > [role="gridcell"], :scope > [role="rowheader"]'));

// The first text of a row's cells (but `from`) that is not what their
// listed elements say.
function rowText(cells, from, name, memo, roles) {
    for (const cell of cells) {
        if (cell === from) continue;
        const t = memo(cell, 'own text', () => collapse(visibleText(cell, null, child => roles.has(child))));
        if (t && t !== name) return t;
    }
    return '';
}

// The row of another table of the same grid that lies on the line of `row`
// (its middle within the row's height), in the nearest of the few boxes
// above the row's table that holds one.
function lineOf(row, memo) {
    const table = closestDeep(flatParent(row), isTable);
    if (!table) return null;
    const box = row.getBoundingClientRect();
    let node = flatParent(table);
    for (let depth = 0; node && node.nodeType === 1 && depth < 6; depth++, node = flatParent(node)) {
        if (node.localName === 'body' || node.localName === 'html') break;
        const lines = memo(node, 'lines', () => linesIn(node));
        // From the first line whose middle lies below the row's top.
        let lo = 0, hi = lines.length;
        while (lo < hi) {
            const mid = (lo + hi) >> 1;
            if (lines[mid].middle < box.top) lo = mid + 1;
            else hi = mid;
        }
        for (let i = lo; i < lines.length && lines[i].middle < box.bottom; i++) {
            const other = lines[i].row;
            if (!containsDeep(table, other) && !containsDeep(other, table)) return other;
        }
    }
    return null;
}

// The rows a box holds, from top to bottom.
const linesIn = node => Array.from(node.querySelectorAll('tr, [role="row"]'), row => {
    const b = row.getBoundingClientRect();
    return { row, middle: (b.top + b.bottom) / 2 };
}).sort((x, y) => x.middle - y.middle);

// A day of a calendar is named by its number alone.
const DAY_NAME = /^\d{1,2}$/;

// The days of a month drawn in a table of weeks: the run of days numbered
// 1, 2, 3… up to the month's last, one after another; the days before its
// 1st and after its last are of the months around it. Null for a table
// that holds no such run (no month).
function monthDays(table, names) {
    const days = [];
    for (const [el, name] of names) {
        if (DAY_NAME.test(name) && containsDeep(table, el)) days.push({ el, n: Number(name) });
    }
    for (let i = 0; i < days.length; i++) {
        if (days[i].n !== 1) continue;
        let j = i + 1;
        while (j < days.length && days[j].n === days[j - 1].n + 1) j++;
        if (j - i >= 28) return new Set(days.slice(i, j).map(d => d.el));
        i = j - 1;
    }
    return null;
}

function soleLabel(node) {
    const labels = node.getElementsByTagName('label');
    return labels.length === 1 ? labels[0] : null;
}

// The text of the header of a cell's column in its table or grid: the
// header of the same column index, or in the same place of a table's header
// row; '' when none is found.
function columnHeaderOf(cell, memo) {
    const table = closestDeep(cell, isTable);
    if (!table) return '';
    let header = null;
    const index = cell.getAttribute('aria-colindex');
    if (index) {
        const headers = memo(table, 'headers', () => Array.from(table.querySelectorAll('[role="columnheader"][aria-colindex], th[aria-colindex]')));
        header = headers.find(h => h !== cell && h.getAttribute('aria-colindex') === index);
    } else if ((cell.localName === 'td' || cell.localName === 'th') && table.localName === 'table') {
        const first = table.rows[0];
        if (first && first !== cell.parentElement && first.cells[cell.cellIndex] &&
            first.cells[cell.cellIndex].localName === 'th') header = first.cells[cell.cellIndex];
    }
    return header ? collapse(visibleText(header)) : '';
}

const isColumnHeader = cell => {
    const role = explicitRole(cell);
    return role ? role === 'columnheader' : cell.localName === 'th' && cell.getAttribute('scope') !== 'row';
};

// For each role, the cells of a row that are or hold a listed element of it.
function cellsByRole(cells, roles) {
    const byRole = new Map();
    const add = (role, cell) => {
        const holding = byRole.get(role);
        if (holding) holding.add(cell);
        else byRole.set(role, new Set([cell]));
    };
    for (const cell of cells) {
        if (roles.has(cell)) add(roles.get(cell), cell);
        const inside = cell.getElementsByTagName('*');
        for (let i = 0; i < inside.length && i < 30; i++) {
            if (roles.has(inside[i])) add(roles.get(inside[i]), cell);
        }
    }
    return byRole;
}

// What names a table or grid: its label or caption, else a short header
// just above it (a calendar's month).
function captionOf(table) {
    const label = collapse(table.getAttribute('aria-label') ||
        referencedElements(table, 'aria-labelledby').map(r => visibleText(r)).join(' '));
    if (label) return label;
    if (table.localName === 'table' && table.caption) {
        const t = collapse(visibleText(table.caption));
        if (t) return t;
    }
    const above = table.previousElementSibling;
    if (above && above.checkVisibility()) {
        const t = collapse(visibleText(above));
        if (t && t.length <= 60) return t;
    }
    return '';
}

// The name of a group, fieldset or labelled region that holds choices.
function groupLabel(node, tag, nodeRole) {
    if (tag === 'fieldset') {
        const legend = node.querySelector(':scope > legend');
        if (legend) return collapse(legend.textContent);
    }
    if (nodeRole && /^(group|radiogroup|listbox|menu|menubar|tablist|tree|toolbar|region|dialog|form)$/.test(nodeRole) ||
        tag === 'form' || tag === 'section' || tag === 'dialog') {
        const label = node.getAttribute('aria-label') ||
            referencedElements(node, 'aria-labelledby').map(r => r.textContent).join(' ');
        if (label) return collapse(label);
    }
    return '';
}

// Remembers what a scan has learnt of an element, for the elements after it.
function memoizer() {
    const known = new Map();
    return (node, what, compute) => {
        let entry = known.get(node);
        if (!entry) {
            entry = {};
            known.set(node, entry);
        }
        if (!(what in entry)) entry[what] = compute();
        return entry[what];
    };
}

// The visible text inside an element, leaving out one element and those
// that `skip` picks.
function visibleText(root, leaveOut, skip) {
    let text = '';
    const walk = node => {
        for (const child of flatChildren(node)) {
            if (text.length > 300) return;
            if (child === leaveOut) continue;
            if (child.nodeType === 3) text += child.data;
            else if (skip && child.nodeType === 1 && skip(child)) continue;
            else if (child.nodeType === 1 && !SKIP_TAGS.has(child.localName) &&
                child.checkVisibility({ opacityProperty: true, visibilityProperty: true })) {
                const apart = standsApart(child);
                if (apart) text += ' ';
                if (!LEAF_TAGS.has(child.localName)) walk(child);
                else if (child.localName === 'input' && /^(button|submit|reset)$/.test(child.type)) text += ' ' + child.value + ' ';
                if (apart) text += ' ';
            }
        }
    };
    walk(root);
    return text;
}

const GROUPED_ROLES = new Set(['radio', 'checkbox', 'option', 'menuitem', 'menuitemcheckbox', 'menuitemradio', 'tab', 'switch']);

