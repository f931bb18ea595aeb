// Profiles end to end: cookies kept per profile across restarts, and a stored
// credential typed by fill without any answer showing its values.

import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createHmac, randomUUID } from 'node:crypto';
import { mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { join } from 'node:path';
import { after, before, test } from 'node:test';

import { firstText, makeHome, startVesk } from './support/vesk.js';

const otpKey = 'JBSWY3DPEHPK3PXP';
const user = `ann-${randomUUID()}`;
const password = `pw-${randomUUID()}`;
const visit = `kept-${randomUUID()}`;
const tagged = randomUUID().toUpperCase();
const [taggedUser, taggedPassword] = [`old-${randomUUID()}`, `old-pw-${randomUUID()}`];
const loginPage = readFileSync(new URL('./pages/login.html', import.meta.url), 'utf8');
const home = makeHome();
let server;
let origin;
let received;

before(async () => {
  server = createServer((request, response) => {
    const path = new URL(request.url, 'http://127.0.0.1').pathname;
    let body = '';
    request.on('data', (chunk) => { body += chunk; });
    request.on('end', () => {
      if (path === '/signed-in') received = JSON.parse(body);
      response.writeHead(200, path === '/set' ? { 'set-cookie': `visit=${visit}; Max-Age=86400; Path=/` } : {});
      response.end(path === '/login' ? loginPage : `<p>cookie: ${request.headers.cookie ?? 'none'}</p>`);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  origin = `http://127.0.0.1:${server.address().port}`;

  // The profile Shop with the credential Login of this site, as the store
  // keeps them; and the profile Old with a credential whose values an
  // earlier version kept under accounts of a tag.
  const [shop, login, old] = [randomUUID().toUpperCase(), randomUUID().toUpperCase(), randomUUID().toUpperCase()];
  const site = new URL(origin).host;
  mkdirSync(join(home, 'data', 'Vesk'), { recursive: true });
  writeFileSync(join(home, 'data', 'Vesk', 'profiles.json'), JSON.stringify({
    profiles: [{ id: shop, name: 'Shop', variables: [] }, { id: old, name: 'Old', variables: [] }],
    credentials: [
      { id: login, name: 'Login', sites: [site], hasOTP: true, global: false, profileIDs: [shop] },
      { id: tagged, name: 'Tagged', sites: [site], hasOTP: false, global: false, profileIDs: [old], secretsTag: 'ED98E6C8' },
    ],
  }));
  const accounts = [['user', user], ['password', password], ['otp', otpKey]].map(([field, value]) => [`${login}/${field}`, value])
    .concat([['user', taggedUser], ['password', taggedPassword]].map(([field, value]) => [`${tagged}/ED98E6C8/${field}`, value]));
  for (const [account, value] of accounts) {
    execFileSync('secret-tool', ['store', '--label=test', 'service', 'Vesk', 'account', `credential/${account}`],
      { input: value });
  }
});

after(() => {
  server?.close();
  rmSync(home, { recursive: true, force: true });
});

function totp(at) {
  const bits = [...otpKey].map((c) => 'ABCDEFGHIJKLMNOPQRSTUVWXYZ234567'.indexOf(c).toString(2).padStart(5, '0')).join('');
  const counter = Buffer.alloc(8);
  counter.writeBigUInt64BE(BigInt(Math.floor(at / 30000)));
  const mac = createHmac('sha1', Buffer.from(bits.match(/.{8}/g).map((b) => parseInt(b, 2)))).update(counter).digest();
  return String((mac.readUInt32BE(mac[19] & 15) & 0x7fffffff) % 1000000).padStart(6, '0');
}

// Runs the steps on a vesk over `home`; gives back every text it answered.
async function session(steps) {
  const vesk = await startVesk({ home });
  const answers = [];
  const call = async (name, args = {}) => {
    const result = await vesk.client.callTool({ name, arguments: args });
    answers.push(...result.content.map((item) => item.text ?? ''));
    assert.equal(result.isError, false, `${name}: ${firstText(result)}`);
    return firstText(result);
  };
  try {
    await steps(call);
  } finally {
    await vesk.stop();
  }
  return answers;
}

test('a profile keeps its cookies across a restart and shares them with no other', async () => {
  await session(async (call) => {
    assert.match(await call('use_profile', { name: ' Work ', create: true }),
      /^Now using the profile below\. The page is blank; navigate to continue\.\n[^]*<page-content>\n"Work"\n/);
    await call('navigate', { url: `${origin}/set` });
  });
  await session(async (call) => {
    const listed = await call('list_profiles');
    assert.match(listed, /^ {2}Shop: no variables; credentials \$\{Login\.user\|password\|otp\} on 127\.0\.0\.1:\d+$/m);
    assert.match(listed, /^\* Work: no variables; no credentials$/m, 'the profile in use at the end is in use again');
    await call('use_profile', { name: 'work' });
    assert.match(await call('navigate', { url: `${origin}/show` }), new RegExp(`cookie: visit=${visit}`));
    for (const other of [{ name: 'Shop' }, { name: ' TEMPORARY', create: true }]) {
      await call('use_profile', other);
      assert.match(await call('navigate', { url: `${origin}/show` }), /cookie: none/);
    }
    assert.match(await call('list_profiles'), /^\* temporary: keeps nothing/m);
  });
});

test('fill types a stored credential on its own site and no answer shows its values', async () => {
  const answers = await session(async (call) => {
    await call('use_profile', { name: 'Shop' });
    const page = await call('navigate', { url: `${origin}/login` });
    const ref = (name) => page.match(new RegExp(`\\[(e\\d+)\\] \\w+ "${name}"`))[1];
    for (const [name, field] of [['User', 'user'], ['Password', 'password'], ['Code', 'otp']]) {
      await call('fill', { ref: ref(name), text: `\${Login.${field}}` });
    }
    await call('click', { ref: ref('Sign in') });
    await call('wait_for', { text: 'Signed in as' });
  });
  assert.deepEqual([received.user, received.password], [user, password]);
  assert.ok([totp(Date.now()), totp(Date.now() - 30000)].includes(received.code), received.code);
  for (const answer of answers) {
    for (const secret of [user, password, otpKey, received.code]) assert.ok(!answer.includes(secret), answer);
  }
});

test('a credential an earlier Vesk kept under a tag fills, and its values move back where secret-tool finds them', async () => {
  await session(async (call) => {
    await call('use_profile', { name: 'Old' });
    const page = await call('navigate', { url: `${origin}/login` });
    const ref = (name) => page.match(new RegExp(`\\[(e\\d+)\\] \\w+ "${name}"`))[1];
    await call('fill', { ref: ref('User'), text: '${Tagged.user}' });
    await call('fill', { ref: ref('Password'), text: '${Tagged.password}' });
    await call('click', { ref: ref('Sign in') });
    await call('wait_for', { text: 'Signed in as' });
  });
  assert.deepEqual([received.user, received.password], [taggedUser, taggedPassword]);
  const lookup = (account) => {
    try {
      return execFileSync('secret-tool', ['lookup', 'service', 'Vesk', 'account', `credential/${tagged}/${account}`],
        { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] });
    } catch {
      return 'none';
    }
  };
  assert.deepEqual(['user', 'password', 'ED98E6C8/user', 'ED98E6C8/password'].map(lookup),
    [taggedUser, taggedPassword, 'none', 'none']);
  assert.ok(!readFileSync(join(home, 'data', 'Vesk', 'profiles.json'), 'utf8').includes('secretsTag'));
});
