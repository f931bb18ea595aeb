#include "BrowserMCP/Tool.h"

namespace vesk {

const std::vector<Tool>& Tool::all() {
    static const std::vector<Tool> tools = {
        Tool{
            "navigate",
            "Load a URL and return what the page has on screen: its interactive elements, each with a ref, and the start of its text. find looks for one thing in the rest of the page, and snapshot gives all of it. An address that is a file is saved, not shown: the result gives its name, type, size and the path it was saved at, and the page stays the one before.",
            {
                {"url", "string", "Absolute http or https URL.", true},
            },
        },
        Tool{
            "back",
            "Go back one page in history and return what the page has on screen.",
            {},
        },
        Tool{
            "forward",
            "Go forward one page in history and return what the page has on screen.",
            {},
        },
        Tool{
            "reload",
            "Reload the page and return what the page has on screen.",
            {},
        },
        Tool{
            "snapshot",
            "Return the current page: interactive elements with refs, and visible text, each line of it after a | so that no text passes for an element. Refs stay valid while the element exists, so call this only when you need the full page: actions already report what changed, and find looks for one control or one piece of text at a fraction of the cost. An element followed by in \"…\" belongs to that text, such as the chosen value a remove button stands beside. A form's fields say what the form asks of them: (required), the type of an input that is not plain text, such as type=email or type=date, and the options of a dropdown, the first ten of them. A field says value=\"…\" only when it holds something, and a checkbox or radio button (checked) only when it is: one without them is empty or unchecked. On a large page it lists what is on screen first, and addresses on the page's own site are written without it. While the page has a separate window open, such as a sign-in, this is the window commands act on, and the open windows are listed with their addresses.",
            {},
        },
        Tool{
            "find",
            "Look for something on the current page and return only what matches: the interactive elements with the text in their name, role, value or options, each with its ref, and the lines of the page's text that have it. Case and accents do not matter. Use it to reach a control or read one figure without taking a snapshot, e.g. find \"search\", \"combobox\" or \"sort\".",
            {
                {"text", "string", "What to look for, e.g. a label, a role or a word of the text.", true},
            },
        },
        Tool{
            "click",
            "Click an element. Fails if it is disabled or covered by another element. Returns what changed on the page. A dialog the click brings up is answered by itself, alert and confirm accepted and prompt given its default text, and the result says which dialog there was. When the click leads to another page, the result is what that page has on screen, its elements with their refs and the start of its text: enough to go on; find looks for one thing in the rest, and snapshot gives all of it. When the click opens a separate window, such as a sign-in, commands act on that window from then on and the result is what it has on screen; when a window closes, they go back to the one before it.",
            {
                {"ref", "string", "Element ref from the latest snapshot, e.g. e12.", true},
            },
        },
        Tool{
            "hover",
            "Put the pointer over an element and leave it there, to open a menu, a tooltip or a control that only shows under the pointer. Returns what changed on the page, with the refs of what appeared. The pointer stays until the next hover, so what it opened can be clicked. Fails if the element is covered by another element. Elements inside a frame from another site cannot be hovered.",
            {
                {"ref", "string", "Element ref from the latest snapshot, e.g. e12.", true},
            },
        },
        Tool{
            "fill",
            "Replace the content of a text field. Returns what changed on the page. On a field with autocompletion it waits for the suggestions and lists them under Suggestions with their refs: click one to choose it, without a snapshot or a wait_for first. Write ${NAME} to type a variable of the profile in use, such as ${PASSWORD}: the text the tools return shows it as ${NAME} where the value is found, which keeps it out of sight but not secret; it is typed only on the site the variable belongs to and that site's subdomains, and fill fails anywhere else. A site without a port is https: a variable of example.com is not typed on http://example.com, whose site is example.com:80. Write ${NAME.user}, ${NAME.password} or ${NAME.otp} to type a field of a credential list_profiles shows for the profile in use; otp types the current 2FA code. A credential is typed only on its own sites and their subdomains, like a variable, and fill types nothing when a reference is on another site, names a credential the profile does not have, or asks for otp from a credential without a 2FA key.",
            {
                {"ref", "string", "Element ref from the latest snapshot, e.g. e12.", true},
                {"text", "string", "The new content of the field.", true},
            },
        },
        Tool{
            "select",
            "Choose an option in a dropdown. Returns what changed on the page.",
            {
                {"ref", "string", "Element ref from the latest snapshot, e.g. e12.", true},
                {"option", "string", "The option's visible label or its value.", true},
            },
        },
        Tool{
            "press",
            "Press a key. Enter in a form field submits the form. Returns what changed on the page.",
            {
                {"key", "string", "DOM key name: Enter, Escape, Tab, ArrowDown, or a single character.", true},
                {"ref", "string", "Element to send the key to. Defaults to the focused element.", false},
            },
        },
        Tool{
            "scroll",
            "Scroll an element into view, or scroll the page by a number of pixels.",
            {
                {"ref", "string", "Element to bring into view.", false},
                {"dy", "number", "Pixels to scroll down; negative scrolls up.", false},
                {"dx", "number", "Pixels to scroll right; negative scrolls left.", false},
            },
        },
        Tool{
            "wait_for",
            "Wait until some text is visible, a CSS selector matches, the page's URL contains some text, or a fetch or XHR request has come back. Fails on timeout. Give exactly one of text, selector, request, url and console_errors. With console_errors: true it checks, once and with no wait, that the page and its windows logged no console error since the recording began, or the session; the failure counts them and the console tool reads them. With absent: true it waits until the text is no longer on the page or no element matching the selector is visible, to check that an error, a spinner or a modal is gone; absent goes only with text or selector. A request that ended since the previous command began counts, so call it right after the action that sends it; one that matches but got another status fails the wait at once. While recording, a request wait becomes a step, so a replay goes on only once that call came back as expected.",
            {
                {"text", "string", "Text that must appear on the page.", false},
                {"selector", "string", "CSS selector that must match an element.", false},
                {"request", "string", "Part of the request's address, with its method in front or not, e.g. POST /api/items. ${NAME} stands for a variable.", false},
                {"url", "string", "Text the page's URL must contain, to check where a click or a submit landed. ${NAME} stands for a variable.", false},
                {"console_errors", "boolean", "Check that no console error was logged since the recording began.", false},
                {"status", "string", "With request: the class of status it must get, 2xx, 3xx, 4xx or 5xx. Defaults to 2xx.", false},
                {"absent", "boolean", "With text or selector: wait until it is gone instead of there.", false},
                {"timeout_seconds", "number", "Defaults to 10.", false},
            },
        },
        Tool{
            "evaluate",
            "Run JavaScript in the page and return its result as JSON. The script is the body of an async function, so use return.",
            {
                {"script", "string", "Function body, e.g. return document.title", true},
            },
        },
        Tool{
            "console",
            "Return what the page wrote to its console since the last call, oldest first, each message with its level: log, warn or error. An exception nothing caught and a promise rejected with nothing to handle it are errors too. It covers the page from the moment it loaded, and the pages before it; frames of other sites and resources that fail to load are not included. While the page has a separate window open, each message starts with the id of the window it came from, main or the one the window tool gives. Each call empties it, so a second call with nothing new says so. An action whose result mentions console errors is the time to call it.",
            {},
        },
        Tool{
            "network",
            "Return the fetch and XHR requests the page made since the last call, oldest first, each with its method, address, the status it got or the network error it ended in, and how long it took. Use it when an action left the page looking unchanged, to see whether a request behind it failed: a 500, a 401, a CORS error, which shows as a network error. It covers the page from the moment it loaded; frames, headers, bodies and the images, styles and scripts a page loads are not included. While the page has a separate window open, each request starts with the id of the window it came from, main or the one the window tool gives. Each call empties it, so a second call with nothing new says so.",
            {
                {"failed", "boolean", "Return only the requests that got a 4xx or 5xx status or no answer. The others are emptied all the same. Defaults to false.", false},
            },
        },
        Tool{
            "screenshot",
            "Return a PNG of the visible part of the page.",
            {},
        },
        Tool{
            "window",
            "Choose which window commands act on, or close a window the page opened, and return a snapshot of the window commands then act on. A window the page opens takes the commands by itself and gives them back when it closes, so this is only for going back to the page meanwhile, or for closing the window. navigate, back, forward and reload always act on the main page.",
            {
                {"window", "string", "main for the page, or the id of a window it opened, e.g. w1, as listed in results.", true},
                {"close", "boolean", "Close that window instead of switching to it. The main page cannot be closed. Defaults to false.", false},
            },
        },
        Tool{
            "record_start",
            "Start recording a flow: every navigation, action and wait_for that succeeds from now on becomes a replayable step, and so does what a person clicks, types, chooses or presses in the window meanwhile. Use wait_for to record what the page must show. Text typed as ${NAME} is recorded as that variable, and anything else typed into a password field as ${PASSWORD}, never as its value.",
            {
                {"name", "string", "Name of the flow, e.g. checkout.", true},
            },
        },
        Tool{
            "record_stop",
            "Stop recording, save the flow under its name and return it as JSON.",
            {},
        },
        Tool{
            "list_flows",
            "List the saved flows by name.",
            {},
        },
        Tool{
            "list_profiles",
            "List the browser profiles and each one's variables and credentials, with the sites each can be typed on and, for a credential, its fields; never their values. A profile keeps its own cookies, logins and storage between runs.",
            {},
        },
        Tool{
            "use_profile",
            "Switch the browser to another profile, for example to act as a different user of the app under test. The page becomes blank and stays on that profile until switched again.",
            {
                {"name", "string", "Profile name from list_profiles. Leave out, or pass temporary, for a clean browser that keeps nothing.", false},
                {"create", "boolean", "Create the profile if none has that name. Defaults to false.", false},
            },
        },
        Tool{
            "run_flow",
            "Replay a flow in the current page, step by step, and report which steps passed. Stops at the first failure and attaches a screenshot of it. Give either name or flow. The flow's ${NAME} variables are filled from the profile in use, each only on its own site. After repairing a step that failed finding its element, give from with that step's number to continue where it failed: the steps before it are skipped, not run. Use from only then, since the earlier steps' effects are taken as already on the page.",
            {
                {"name", "string", "Name of a saved flow, as shown by list_flows.", false},
                {"flow", "string", "Flow JSON to run instead of a saved one.", false},
                {"profile", "string", "Switch to this profile before running, as use_profile does.", false},
                {"variables", "object", "Values for ${NAME} variables the profile lacks or that should differ, e.g. {\"PASSWORD\": \"...\"}.", false},
                {"from", "integer", "Number of the step to start at, as the report numbers them, from 1. Only to continue after repairing a step that failed finding its element. Defaults to 1.", false},
            },
        },
        Tool{
            "repair_flow",
            "Give one step of a saved flow a new element to act on, when the page changed and the step no longer finds its own, and save the flow. Only the step's element changes; nothing is run. In a flows folder the person chose the flow is rewritten; in the default one it is saved beside the original as \"<name> (repaired)\", which the result names. Take the role and name from the page run_flow showed when the step failed. Then check the new element with run_flow, and continue with from set to this step only if the step had failed finding its element.",
            {
                {"name", "string", "Name of a saved flow, as shown by list_flows.", true},
                {"step", "integer", "Number of the step to repair, as the run_flow report numbers them, from 1. The step must act on an element.", true},
                {"role", "string", "Role of the element, as the page lists it, e.g. button.", true},
                {"element_name", "string", "Accessible name of the element, as the page lists it in quotes.", true},
                {"index", "integer", "Position among the elements with this role and name, from 0. Defaults to 0.", false},
                {"selector", "string", "CSS selector to find the element by when its name does not match.", false},
            },
        },
    };
    return tools;
}

Json Tool::schema() const {
    Json properties = Json::object();
    Json required = Json::array();
    for (const auto& parameter : parameters) {
        properties[parameter.name] = Json{{"type", parameter.type}, {"description", parameter.description}};
        if (parameter.required) required.push_back(parameter.name);
    }
    Json inputSchema = Json::object();
    inputSchema["type"] = "object";
    inputSchema["properties"] = std::move(properties);
    inputSchema["required"] = std::move(required);

    Json schema = Json::object();
    schema["name"] = name;
    schema["description"] = description;
    schema["inputSchema"] = std::move(inputSchema);
    return schema;
}

} // namespace vesk
