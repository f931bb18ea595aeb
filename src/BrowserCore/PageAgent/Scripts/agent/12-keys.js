// ---------------------------------------------------------------------------
// press

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
const KEY_CODES = {
    Enter: 13, Tab: 9, Escape: 27, Backspace: 8, Delete: 46, ' ': 32, ArrowUp: 38, ArrowDown: 40, ArrowLeft: 37,
    ArrowRight: 39, Home: 36, End: 35, PageUp: 33, PageDown: 34, Insert: 45,
};

function parseKey(text) {
    const raw = String(text);
    let parts = raw.split('+');
    // "Control++" and "+" name the plus key itself.
    if (raw.endsWith('+')) parts = [...raw.slice(0, -1).split('+').filter(Boolean), '+'];
    const mods = { ctrlKey: false, shiftKey: false, altKey: false, metaKey: false };
    const keyPart = parts.pop();
    for (const m of parts) {
        const flag = MODIFIERS.get(m.trim().toLowerCase());
        if (!flag) return null;
        mods[flag] = true;
    }
    let key;
    if ([...keyPart].length === 1) key = keyPart;
    else key = KEY_NAMES.get(keyPart.trim().toLowerCase());
    if (!key) return null;
    return { key, mods };
}

function keyCode(key) {
    if (key in KEY_CODES) return KEY_CODES[key];
    if (/^F\d+$/.test(key)) return 111 + Number(key.slice(1));
    if (/^[a-z]$/i.test(key)) return key.toUpperCase().charCodeAt(0);
    if (/^\d$/.test(key)) return key.charCodeAt(0);
    return 0;
}

function codeOf(key) {
    if (/^[a-z]$/i.test(key)) return 'Key' + key.toUpperCase();
    if (/^\d$/.test(key)) return 'Digit' + key;
    if (key === ' ') return 'Space';
    return key.length > 1 ? key : '';
}

function keyEvent(target, type, key, mods) {
    const code = keyCode(key);
    const init = Object.assign({
        key, code: codeOf(key), bubbles: true, cancelable: true, composed: true, view: window,
        keyCode: type === 'keypress' ? key.length === 1 ? key.charCodeAt(0) : code : code,
        which: type === 'keypress' ? key.length === 1 ? key.charCodeAt(0) : code : code,
        charCode: type === 'keypress' && key.length === 1 ? key.charCodeAt(0) : 0,
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
    let target;
    if (args.ref !== undefined) {
        const { el, label } = elementFor(args, 'press');
        checkEnabled(el, label, 'press');
        const standIn = visibility(el) ? null : labelStandIn(el);
        if (!standIn && !visibility(el)) fail('not_visible', notVisibleMessage(label, 'press a key on'));
        target = el;
        whileActing(() => {
            if (deepActiveElement() !== el) el.focus({ preventScroll: false });
        });
    } else {
        target = deepActiveElement() || document.body || document.documentElement;
    }
    if (!target) fail(null, 'The page has nothing to press a key on yet.');
    whileActing(() => pressOn(target, parsed.key, parsed.mods));
    return undefined;
}

function pressOn(target, key, mods) {
    const proceed = keyEvent(target, 'keydown', key, mods);
    const plain = !mods.ctrlKey && !mods.metaKey && !mods.altKey;
    const editable = isEditableText(target) && !target.readOnly && !target.disabled;
    if (proceed) {
        if (plain && (key.length === 1 || key === 'Enter')) {
            if (keyEvent(target, 'keypress', key, mods)) defaultKeyAction(target, key, mods, editable);
        } else {
            defaultKeyAction(target, key, mods, editable);
        }
    }
    if (target.isConnected) keyEvent(target, 'keyup', key, mods);
}

// What the browser would do for a key that nothing prevented.
function defaultKeyAction(target, key, mods, editable) {
    const plain = !mods.ctrlKey && !mods.metaKey && !mods.altKey;
    const role = roleOf(target);
    if ((mods.ctrlKey || mods.metaKey) && key.toLowerCase() === 'a' && !mods.altKey) {
        if (editable && target.select) target.select();
        else document.execCommand('selectAll');
        return;
    }
    if (!plain) return;
    if (key.length === 1) {
        if (key === ' ' && !editable && (role === 'button' || role === 'checkbox' || role === 'radio' ||
            role === 'switch' || target.localName === 'summary')) {
            target.click();
            return;
        }
        if (editable) {
            if (!document.execCommand('insertText', false, key) && 'value' in target) {
                target.value += key;
                inputEvent(target, key, 'insertText');
            }
            return;
        }
        if (key === ' ') scrollPageBy(0, (mods.shiftKey ? -1 : 1) * window.innerHeight * 0.875, target);
        return;
    }
    switch (key) {
    case 'Enter':
        if (target.localName === 'textarea' || (editable && target.isContentEditable)) {
            document.execCommand('insertLineBreak') || document.execCommand('insertText', false, '\n');
        } else if (target.localName === 'input' && target.form && !/^(button|submit|reset|image|checkbox|radio|file)$/.test(target.type)) {
            submitImplicitly(target.form);
        } else if (role === 'button' || role === 'link' || target.localName === 'summary' ||
            (target.localName === 'input' && /^(button|submit|reset|image)$/.test(target.type))) {
            target.click();
        }
        return;
    case 'Tab':
        moveFocus(target, mods.shiftKey ? -1 : 1);
        return;
    case 'Backspace':
    case 'Delete':
        if (editable) document.execCommand(key === 'Backspace' ? 'delete' : 'forwardDelete');
        return;
    case 'Escape': {
        const dialog = Array.from(document.querySelectorAll('dialog[open]')).reverse().find(d => matchesSafe(d, ':modal'));
        if (dialog) {
            if (dialog.dispatchEvent(new Event('cancel', { cancelable: true }))) dialog.close();
            return;
        }
        const popover = Array.from(document.querySelectorAll('[popover]')).reverse().find(p => matchesSafe(p, ':popover-open'));
        if (popover && popover.hidePopover) popover.hidePopover();
        return;
    }
    case 'ArrowUp':
    case 'ArrowDown':
    case 'ArrowLeft':
    case 'ArrowRight': {
        const step = key === 'ArrowUp' || key === 'ArrowLeft' ? -1 : 1;
        if (target.localName === 'select' && !target.multiple) {
            const options = Array.from(target.options);
            let i = target.selectedIndex + step;
            while (i >= 0 && i < options.length && options[i].disabled) i += step;
            if (i >= 0 && i < options.length && i !== target.selectedIndex) {
                target.selectedIndex = i;
                inputEvent(target, null, 'insertReplacementText');
                target.dispatchEvent(new Event('change', { bubbles: true }));
            }
            return;
        }
        if (target.localName === 'input' && target.type === 'radio' && target.name) {
            const group = Array.from((target.form || document).querySelectorAll('input[type=radio]'))
                .filter(r => r.name === target.name && !r.disabled);
            const next = group[(group.indexOf(target) + step + group.length) % group.length];
            if (next && next !== target) {
                next.focus();
                next.checked = true;
                next.dispatchEvent(new Event('input', { bubbles: true, composed: true }));
                next.dispatchEvent(new Event('change', { bubbles: true }));
            }
            return;
        }
        if (editable) return;
        if (key === 'ArrowUp' || key === 'ArrowDown') scrollPageBy(0, step * 40, target);
        else scrollPageBy(step * 40, 0, target);
        return;
    }
    case 'PageUp':
    case 'PageDown':
        if (!editable) scrollPageBy(0, (key === 'PageUp' ? -1 : 1) * window.innerHeight * 0.875, target);
        return;
    case 'Home':
    case 'End':
        if (!editable) {
            const page = document.scrollingElement || document.documentElement;
            scrollPageBy(0, key === 'Home' ? -page.scrollHeight : page.scrollHeight, target);
        }
        return;
    }
}

function submitImplicitly(form) {
    const submitter = Array.from(form.elements).find(e =>
        (e.localName === 'button' && e.type === 'submit') ||
        (e.localName === 'input' && (e.type === 'submit' || e.type === 'image')));
    if (submitter) {
        if (!submitter.disabled) submitter.click();
        return;
    }
    const blocking = Array.from(form.elements).filter(e => e.localName === 'input' &&
        /^(text|search|email|url|tel|password|date|time|datetime-local|month|week|number)$/.test(e.type));
    if (blocking.length <= 1) {
        if (form.requestSubmit) form.requestSubmit();
        else form.submit();
    }
}

function sequentialFocusables() {
    const all = [];
    const walk = root => {
        for (const el of root.querySelectorAll('*')) {
            if (el.shadowRoot) walk(el.shadowRoot);
            if (el.tabIndex < 0 || isDisabled(el) || el.localName === 'body') continue;
            if (!el.checkVisibility({ visibilityProperty: true })) continue;
            all.push(el);
        }
    };
    walk(document);
    const positive = all.filter(e => e.tabIndex > 0).sort((a, b) => a.tabIndex - b.tabIndex);
    return [...positive, ...all.filter(e => e.tabIndex === 0)];
}

function moveFocus(from, step) {
    const list = sequentialFocusables();
    if (!list.length) return;
    let i = list.indexOf(from);
    if (i < 0) i = step > 0 ? -1 : list.length;
    const next = list[i + step];
    if (next) next.focus();
    else if (from && from.blur) from.blur();
}

