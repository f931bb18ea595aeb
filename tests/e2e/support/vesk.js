// Starts the built vesk as an agent would, with its standard input and output
// as the MCP channel, and talks to it through the official MCP client.
//
// The transport is our own rather than the SDK's stdio transport because the
// tests need what that one hides: every raw line vesk writes, its exit status
// and the processes it started.

import { spawn } from 'node:child_process';
import { mkdtempSync, mkdirSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { Client } from '@modelcontextprotocol/sdk/client/index.js';
import { serializeMessage } from '@modelcontextprotocol/sdk/shared/stdio.js';
import { JSONRPCMessageSchema } from '@modelcontextprotocol/sdk/types.js';

export function veskBinary() {
  const binary = process.env.VESK_BINARY;
  if (!binary) throw new Error('Set VESK_BINARY to the path of the built vesk.');
  return binary;
}

// A transport over one vesk child process.
class VeskTransport {
  constructor(command, env) {
    this.command = command;
    this.env = env;
    this.lines = [];       // every line vesk wrote on standard output
    this.badLines = [];    // those that are not JSON-RPC messages
    this.stderr = '';
    this.buffer = '';
    this.exited = null;    // a promise of { code, signal }
  }

  async start() {
    this.child = spawn(this.command, [], { env: this.env, stdio: ['pipe', 'pipe', 'pipe'] });
    this.exited = new Promise((resolve) => {
      this.child.on('exit', (code, signal) => resolve({ code, signal }));
    });
    this.child.stdout.setEncoding('utf8');
    this.child.stdout.on('data', (chunk) => this.receive(chunk));
    this.child.stderr.setEncoding('utf8');
    this.child.stderr.on('data', (chunk) => { this.stderr += chunk; });
    this.child.on('close', () => this.ended());
    // A request written to a vesk that has ended fails to go out; the
    // channel's close answers it, as any request left without an answer.
    this.child.stdin.on('error', () => {});
    // A process vesk started may hold its output open after vesk itself
    // ended (one that died at start): what vesk wrote gets a moment to
    // arrive, then the channel closes, so that nothing waits for an answer
    // that cannot come.
    this.child.on('exit', () => {
      const grace = setTimeout(() => {
        for (const stream of [this.child.stdin, this.child.stdout, this.child.stderr]) stream.destroy();
        this.ended();
      }, 2000);
      this.child.once('close', () => clearTimeout(grace));
    });
    await new Promise((resolve, reject) => {
      this.child.once('spawn', resolve);
      this.child.once('error', reject);
    });
  }

  ended() {
    if (this.closed) return;
    this.closed = true;
    this.onclose?.();
  }

  receive(chunk) {
    this.buffer += chunk;
    let end;
    while ((end = this.buffer.indexOf('\n')) >= 0) {
      const line = this.buffer.slice(0, end);
      this.buffer = this.buffer.slice(end + 1);
      this.lines.push(line);
      let message;
      try {
        message = JSONRPCMessageSchema.parse(JSON.parse(line));
      } catch (error) {
        this.badLines.push(line);
        this.onerror?.(new Error(`vesk wrote a line that is not JSON-RPC: ${line}`));
        continue;
      }
      this.onmessage?.(message);
    }
  }

  async send(message) {
    this.child.stdin.write(serializeMessage(message));
  }

  // Ends standard input, as an agent that leaves does, and lets vesk go.
  async close() {
    this.child.stdin.end();
  }

  get pid() {
    return this.child?.pid ?? null;
  }
}

// The pids of every process below `pid`, found through /proc.
export function descendants(pid) {
  const children = new Map();
  for (const entry of readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    let stat;
    try {
      stat = readFileSync(`/proc/${entry}/stat`, 'utf8');
    } catch {
      continue;
    }
    // The command name may hold spaces and parentheses: fields follow the last ")".
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    const parent = Number(fields[1]);
    if (!children.has(parent)) children.set(parent, []);
    children.get(parent).push(Number(entry));
  }
  const found = [];
  const queue = [pid];
  while (queue.length) {
    for (const child of children.get(queue.shift()) ?? []) {
      found.push(child);
      queue.push(child);
    }
  }
  return found;
}

// Whether a process still runs (a zombie waiting to be reaped has ended).
export function isRunning(pid) {
  try {
    const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
    return stat.slice(stat.lastIndexOf(')') + 2)[0] !== 'Z';
  } catch {
    return false;
  }
}

export async function waitFor(condition, { timeout = 20000, what = 'the condition' } = {}) {
  const end = Date.now() + timeout;
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() >= end) throw new Error(`Timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// A fresh folder for what vesk keeps: its config, data and cache folders.
export function makeHome() {
  return mkdtempSync(join(tmpdir(), 'vesk-e2e-'));
}

// A vesk process with folders of its own. `timings`, when given, is stored
// as the timing settings before vesk starts. With `home` (from makeHome) it
// runs on those folders and leaves them when it stops, so that a later vesk
// finds what this one kept.
export async function startVesk({ timings, home: kept, command = veskBinary() } = {}) {
  const home = kept ?? makeHome();
  const config = join(home, 'config');
  const env = {
    ...process.env,
    XDG_CONFIG_HOME: config,
    XDG_DATA_HOME: join(home, 'data'),
    XDG_CACHE_HOME: join(home, 'cache'),
  };
  if (timings) {
    mkdirSync(join(config, 'Vesk'), { recursive: true });
    writeFileSync(join(config, 'Vesk', 'defaults.ini'), `[Defaults]\ntimings=${JSON.stringify(timings)}\n`);
  }
  const transport = new VeskTransport(command, env);
  const client = new Client({ name: 'vesk-e2e', version: '1.0.0' });
  const transportErrors = [];
  client.onerror = (error) => transportErrors.push(error);
  try {
    await client.connect(transport);
  } catch (error) {
    // Vesk ended, or never started: say how, with what it wrote.
    const child = transport.child;
    if (child?.pid && child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
    const exit = child?.pid ? await transport.exited : null;
    if (!kept) rmSync(home, { recursive: true, force: true });
    const how = exit ? `exit status ${exit.code}${exit.signal ? `, signal ${exit.signal}` : ''}` : error.message;
    throw new Error(`vesk ended before it answered: ${how}. It wrote:\n${transport.stderr.slice(-4000)}`);
  }

  return {
    client,
    transport,
    transportErrors,
    // The user's data folder, where the flows folder lies.
    dataHome: env.XDG_DATA_HOME,
    // Closes standard input and gives back how vesk ended and which of the
    // processes it had started were still running after it.
    async stop({ timeout = 20000 } = {}) {
      const started = descendants(transport.pid);
      await transport.close();
      const timer = new Promise((resolve) => setTimeout(() => resolve(null), timeout).unref());
      const exit = await Promise.race([transport.exited, timer]);
      if (!exit) transport.child.kill('SIGKILL');
      let leftBehind = [];
      try {
        await waitFor(() => started.every((pid) => !isRunning(pid)), { timeout, what: 'the WebKit processes to end' });
      } catch {
        leftBehind = started.filter(isRunning);
      }
      if (!kept) rmSync(home, { recursive: true, force: true });
      return { exit, started, leftBehind };
    },
  };
}

// The text of a tool result's first item.
export function firstText(result) {
  return result.content[0]?.text ?? '';
}
