// ---------------------------------------------------------------------------
// Text, built the way a person reads it: whitespace collapsed, blocks on lines
// of their own, table cells apart.

class TextBuilder {
    constructor() {
        this.parts = [];
        this.length = 0;
        this.pending = '';
        this.full = false;
    }
    separate(sep) {
        if (!this.length) return;
        if (sep === '\n' || this.pending === '\n') this.pending = '\n';
        else if (sep === '\t' || this.pending === '\t') this.pending = '\t';
        else this.pending = ' ';
    }
    emit(s) {
        if (!s || this.full) return;
        if (this.pending && this.length) {
            this.parts.push(this.pending);
            this.length += 1;
        }
        this.pending = '';
        if (this.length + s.length > TEXT_LIMIT) {
            s = s.slice(0, TEXT_LIMIT - this.length);
            this.full = true;
        }
        this.parts.push(s);
        this.length += s.length;
    }
    // One piece of collapsed text: its words, and whether white space stood
    // before and after them.
    piece(body, lead, trail) {
        if (this.full) return;
        if (lead && this.pending === '') this.separate(' ');
        if (body) this.emit(body);
        if (trail) this.separate(' ');
    }
    toString() {
        return this.parts.join('');
    }
}

// The page's text, and the same text split into the main content and what
// lies around it.
class PageText {
    constructor(hasMain) {
        this.all = new TextBuilder();
        this.main = new TextBuilder();
        this.around = new TextBuilder();
        this.hasMain = hasMain;
    }
    separate(sep) {
        this.all.separate(sep);
        this.main.separate(sep);
        this.around.separate(sep);
    }
    add(data, pre, region) {
        const part = region === 'around' || (!region && this.hasMain) ? this.around : this.main;
        if (pre) {
            const lines = data.split(/\r\n|[\n\r]/);
            for (let i = 0; i < lines.length; i++) {
                if (i) {
                    this.all.separate('\n');
                    part.separate('\n');
                }
                this.all.emit(lines[i]);
                part.emit(lines[i]);
            }
            return;
        }
        const s = data.replace(/[ \t\n\r\f]+/g, ' ');
        const lead = s.charCodeAt(0) === 32, trail = s.length > 1 && s.charCodeAt(s.length - 1) === 32;
        const body = s === ' ' ? '' : s.slice(lead ? 1 : 0, trail ? s.length - 1 : s.length);
        this.all.piece(body, lead, trail);
        part.piece(body, lead, trail);
    }
}

