// ---------------------------------------------------------------------------
// Icons that show the pointer hand without a name (a date picker's month
// arrows), and controls whose only name is a glyph: described by what the
// icon shows (a title it keeps from assistive technology, an image's text,
// the word an icon font draws as a ligature) or by what its markup says it
// shows or does, in the words of icons and actions alone: the other words of
// class names style the element (its layout, its state, a framework's
// prefix) and name nothing.

// Words that name what an icon shows or what a control does. Words that are
// also frameworks' words for styles are left out ("link" of "nav-link",
// "info" and "warning" of a button's colour, "user" of "user-select-none").
const ICON_WORDS = new Set(('add plus minus new create remove delete destroy trash bin close cancel clear dismiss ' +
    'erase edit pencil pen rename save undo redo copy cut paste duplicate clone share send reply forward back next ' +
    'prev previous first last expand collapse toggle more less menu hamburger kebab dots ellipsis overflow options ' +
    'settings gear cog preferences tune filter funnel sort search find magnify zoom refresh reload sync retry ' +
    'rotate repeat shuffle play pause stop record mute unmute volume sound fullscreen minimize maximize download ' +
    'upload import export print attach attachment paperclip external launch image photo camera video ' +
    'file folder document calendar clock timer alarm history bell notification help question home account ' +
    'profile person people avatar login logout lock unlock key eye star favorite ' +
    'favourite heart like dislike thumb bookmark flag pin tag comment chat message mail email inbox phone call ' +
    'location map marker globe language translate cart basket bag shop wallet check checkmark tick done confirm ' +
    'approve reject caret chevron arrow angle triangle drag handle grip move resize bold italic underline strike ' +
    'strikethrough indent outdent quote blockquote code bullet increase decrease increment decrement toggler burger ' +
    'bars times xmark dash sliders wrench power envelope house clipboard floppy compress microphone exclamation ' +
    'archive').split(' '));
// Words that say which way or what part an icon's own word acts on ("arrow
// up", "next month"): kept beside such a word only, since alone they are
// layout ("float-right", "text-end").
const ICON_QUALIFIERS = new Set('up down left right top bottom start end all day week month year page list'.split(' '));
const ICON_DESCRIPTION_WORDS = 4;
const ICON_PARTS = 6;

// Whether a word is one of the vocabulary or a form of one ("sorting",
// "notifications"); past participles are not: they say a state
// ("collapsed", "checked").
function isIconWord(word) {
    if (ICON_WORDS.has(word)) return true;
    for (const [ending, put] of [['ing', ''], ['ing', 'e'], ['es', ''], ['s', '']]) {
        if (word.endsWith(ending) && ICON_WORDS.has(word.slice(0, -ending.length) + put)) return true;
    }
    return false;
}

// The icon and action words of one token of markup (a class name, an id, an
// attribute's value): its segments of words, a segment that reads as a
// tool's hash ("kDDrLX", "1x9a") saying nothing; qualifiers only where the
// token has a word of its own.
function iconWordsOf(token) {
    const own = [], qualifiers = [];
    for (const segment of token.split(/[^A-Za-z0-9]+/)) {
        const letters = segment.replace(/\d+$/, '');
        if (!/^[a-z]+(?:[A-Z][a-z]+)*$/.test(letters) && !/^[A-Z][a-z]+(?:[A-Z][a-z]+)*$/.test(letters)) continue;
        for (const w of letters.replace(/([a-z])([A-Z])/g, '$1 $2').toLowerCase().split(' ')) {
            if (isIconWord(w)) own.push(w);
            else if (ICON_QUALIFIERS.has(w)) own.length ? own.push(w) : qualifiers.push(w);
        }
    }
    return own.length ? [...qualifiers, ...own] : [];
}

// A font that draws icons for words ("Material Icons", "Material Symbols"),
// as the first of an element's fonts.
const ICON_FONT = /^["']?[^,]*(icon|symbol)/i;
const LIGATURE = /^[a-z][a-z0-9]*(?:_[a-z0-9]+)*$/;

function iconWords(el) {
    const titled = el.querySelector('[title], svg title, img[alt]');
    if (titled) {
        const title = collapse(titled.localName === 'title' ? titled.textContent
            : titled.getAttribute('alt') || titled.getAttribute('title'));
        if (title) return cut(title, NAME_LIMIT);
    }
    // The icon lies within the first few elements of what it is drawn in.
    const parts = [el, ...Array.prototype.slice.call(el.getElementsByTagName('*'), 0, ICON_PARTS)];
    for (const part of parts) {
        const text = part.childElementCount === 0 ? collapse(part.textContent) : '';
        if (text && LIGATURE.test(text) && ICON_FONT.test(styleOf(part).fontFamily)) {
            return cut(text.replace(/_/g, ' '), NAME_LIMIT);
        }
    }
    const words = [];
    const add = token => {
        for (const w of iconWordsOf(token || '')) if (!words.includes(w)) words.push(w);
    };
    // What the markup says the icon shows or the control does: the icon's
    // name as an icon set or an icon element gives it, an id for the page's
    // tests ("DeleteIcon").
    for (const part of parts) {
        add(part.getAttribute('data-icon'));
        add(part.getAttribute('data-testid'));
        if (part.localName.includes('-')) {
            add(part.getAttribute('icon'));
            add(part.getAttribute('name'));
        }
    }
    add(el.getAttribute('data-action'));
    add(el.getAttribute('aria-controls'));
    for (const part of parts) {
        for (const token of (part.getAttribute('class') || '').split(/\s+/)) add(token);
        add(part.getAttribute('href'));
        add(part.getAttribute('xlink:href'));
    }
    return cut(words.slice(0, ICON_DESCRIPTION_WORDS).join(' '), NAME_LIMIT);
}
