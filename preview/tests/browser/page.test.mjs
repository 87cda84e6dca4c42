// The label page in a real browser (Debian's chromium, driven by playwright-core): it loads from
// eplview web, redraws the preview as a label is typed, lists a lint finding for a bad line and
// selects that line when the finding is clicked, lists eplhost's findings for a bad JSON label,
// and downloads a PNG of the label's size.
//   node page.test.mjs EPLVIEW_WEB [--eplhost 'COMMAND'] [--screenshot FILE.png]
import { spawn } from 'node:child_process';
import { readFileSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';

const [program, ...rest] = process.argv.slice(2);
const option = (name) => { const i = rest.indexOf(name); return i >= 0 ? rest[i + 1] : undefined; };
const eplhost = option('--eplhost');
const screenshot = option('--screenshot');
const examples = join(dirname(fileURLToPath(import.meta.url)), '../../../examples');
const browserPath = process.env.CHROMIUM || '/usr/bin/chromium';
const wait = { timeout: 15000 };

// eplview web on a free port; resolves to its address once it says it serves.
function startServer() {
  const args = ['--listen', '127.0.0.1:0', ...(eplhost ? ['--eplhost', eplhost] : [])];
  const server = spawn(program, args, { stdio: ['ignore', 'pipe', 'inherit'] });
  const address = new Promise((resolve, reject) => {
    let said = '';
    server.stdout.on('data', (chunk) => {
      said += chunk;
      const serving = /serving (http:\/\/\S+)/.exec(said);
      if (serving) resolve(serving[1]);
    });
    server.on('exit', (code) => reject(new Error(`eplview web exited with ${code}`)));
  });
  return { server, address };
}

// Width and height from a PNG file's header.
function pngSize(bytes) {
  assert.equal(bytes.subarray(1, 4).toString(), 'PNG');
  return [bytes.readUInt32BE(16), bytes.readUInt32BE(20)];
}

const label = 'N\nq812\nQ203,24\nA20,20,0,4,1,1,N,"typed"\nLO20,100,700,4\nP1\n';

async function main() {
  const { server, address } = startServer();
  const scratch = mkdtempSync(join(tmpdir(), 'eplview-browser-'));
  // The flags keep a headless chromium from reaching for the network at start.
  const browser = await chromium.launch({
    executablePath: browserPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  try {
    const page = await browser.newPage({ acceptDownloads: true, viewport: { width: 1280, height: 800 } });
    await page.goto(await address);
    await page.waitForFunction(() => document.querySelector('#preview').naturalHeight > 0, null, wait);
    const before = await page.getAttribute('#preview', 'src');

    await page.fill('#editor', '');
    await page.locator('#editor').pressSequentially(label, { delay: 5 });
    await page.waitForFunction((old) => {
      const image = document.querySelector('#preview');
      return image.src !== old && image.complete && image.naturalHeight === 203;
    }, before, wait);

    await page.locator('#editor').press('End');
    await page.locator('#editor').pressSequentially('FOO\n');
    const finding = page.locator('#findings li', { hasText: 'unknown command' });
    await finding.waitFor(wait);
    assert.equal(await finding.getAttribute('data-line'), '7');
    await finding.click();
    assert.equal(await page.evaluate(() => {
      const editor = document.querySelector('#editor');
      return editor.value.slice(editor.selectionStart, editor.selectionEnd);
    }), 'FOO');

    const downloading = page.waitForEvent('download', wait);
    await page.click('#download-png');
    const saved = join(scratch, 'label.png');
    await (await downloading).saveAs(saved);
    assert.deepEqual(pngSize(readFileSync(saved)), [812, 203]);

    if (eplhost) {
      await page.fill('#editor', '{"width": 4000, "height": 2000, "objects": [\n' +
                                 '  {"type": "text", "x": -5, "y": 0, "text": "a"}\n]}');
      await page.locator('#findings li.eplhost').first().waitFor(wait);
      assert.equal(await page.locator('#findings li.eplhost').first().getAttribute('data-line'), '2');
    }
    if (screenshot && eplhost) {
      await page.fill('#editor', readFileSync(join(examples, 'shipping-4x6.json'), 'utf8'));
      await page.setInputFiles('#images', join(examples, 'acme-logo.png'));
      await page.waitForFunction(() => document.querySelector('#status').textContent.startsWith('1 label'), null, wait);
      await page.waitForTimeout(500);
      await page.screenshot({ path: screenshot });
    }
    console.log('browser test: passed');
  } finally {
    await browser.close();
    server.kill('SIGTERM');
    rmSync(scratch, { recursive: true, force: true });
  }
}

main().catch((error) => { console.error(error); process.exit(1); });
