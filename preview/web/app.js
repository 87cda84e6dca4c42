// The label page: the editor's text goes to eplview's own API as you type (after a pause), and
// the preview, the lint findings and eplhost's findings come back from it.
'use strict';

const $ = (id) => document.getElementById(id);
const editor = $('editor');
const pauseBeforeRefresh = 300; // ms of no typing before the preview is redrawn

let printed = null;  // the EPL2 stream of the last refresh, if it printed
let refreshing = 0;  // number of the latest refresh; older answers are dropped
let timer = null;

const example = 'N\nq812\nQ406,24\nA40,40,0,4,1,1,N,"eplview"\nB40,100,0,1,2,6,80,B,"12345"\nP1\n';

function inputIsJson() {
  const mode = $('mode').value;
  return mode === 'json' || (mode === 'auto' && editor.value.trimStart().startsWith('{'));
}

function renderQuery(format, extra = {}) {
  const query = new URLSearchParams({ dpi: $('dpi').value, format, ...extra });
  if ($('size').value.trim()) query.set('size', $('size').value.trim());
  return query;
}

async function failure(response) {
  const body = await response.json().catch(() => ({}));
  const error = new Error(body.detail || `HTTP ${response.status}`);
  error.body = body;
  return error;
}

// The stream the editor stands for: its text, or what eplhost prints of the JSON label.
async function streamOf() {
  if (!inputIsJson()) return new TextEncoder().encode(editor.value);
  const form = new FormData();
  form.append('label', new Blob([editor.value], { type: 'application/json' }), 'label.json');
  for (const image of $('images').files) form.append('image', image, image.name);
  const records = $('records').files[0];
  if (records) form.append('records', records, records.name);
  const query = new URLSearchParams({ format: 'epl' });
  if ($('model').value) query.set('model', $('model').value);
  const response = await fetch('/v1/labels?' + query, { method: 'POST', body: form });
  if (!response.ok) throw await failure(response);
  return new Uint8Array(await response.arrayBuffer());
}

async function post(path, query, stream) {
  return fetch(`${path}?${query}`, {
    method: 'POST', body: stream, headers: { 'Content-Type': 'application/octet-stream' },
  });
}

// The line of the editor a finding of eplhost's names: a JSON syntax error's line, or the
// line where objects[N] begins.
function lineOfFinding(message) {
  const line = /line (\d+)/.exec(message);
  if (line) return Number(line[1]);
  const object = /objects\[(\d+)\]/.exec(message);
  return object ? lineOfObject(editor.value, Number(object[1])) : null;
}

function lineOfObject(text, wanted) {
  const start = text.indexOf('"objects"');
  if (start < 0) return null;
  let depth = 0, count = -1, quoted = false;
  for (let i = text.indexOf('[', start); i >= 0 && i < text.length; ++i) {
    const c = text[i];
    if (quoted) { if (c === '\\') ++i; else if (c === '"') quoted = false; continue; }
    if (c === '"') quoted = true;
    else if (c === '[' || c === '{') {
      if (c === '{' && depth === 1 && ++count === wanted) return text.slice(0, i).split('\n').length;
      ++depth;
    } else if (c === ']' || c === '}') { if (--depth === 0) return null; }
  }
  return null;
}

function selectLine(line) {
  const lines = editor.value.split('\n');
  const start = lines.slice(0, line - 1).reduce((sum, text) => sum + text.length + 1, 0);
  editor.focus();
  editor.setSelectionRange(start, start + (lines[line - 1] || '').length);
  editor.scrollTop = Math.max(0, (line - 3) * parseFloat(getComputedStyle(editor).lineHeight));
}

function listFindings(items) {
  const list = $('findings');
  list.replaceChildren();
  for (const { text, line, kind } of items) {
    const item = document.createElement('li');
    item.textContent = text;
    item.className = kind;
    if (line) {
      item.dataset.line = line;
      item.title = `line ${line}`;
      item.addEventListener('click', () => selectLine(line));
    }
    list.append(item);
  }
}

function showStatus(text, error = false) {
  $('status').textContent = text;
  $('status').classList.toggle('error', error);
}

function chooseLabel(count) {
  const select = $('label');
  const chosen = Math.min(Number(select.value) || 1, Math.max(count, 1));
  select.replaceChildren(...Array.from({ length: Math.max(count, 1) }, (_, i) => new Option(i + 1, i + 1)));
  select.value = chosen;
}

async function refresh() {
  const mine = ++refreshing;
  try {
    const stream = await streamOf();
    const lint = await post('/v1/lint', renderQuery('png'), stream);
    if (!lint.ok) throw await failure(lint);
    const report = await lint.json();
    if (mine !== refreshing) return;
    printed = stream;
    const json = inputIsJson();
    listFindings(report.warnings.map((w) => ({
      text: `${json ? 'printed line' : 'line'} ${w.line}: ${w.message}`,
      line: json ? null : w.line, kind: 'lint',
    })));
    chooseLabel(report.labels);
    showStatus(`${report.labels} label${report.labels === 1 ? '' : 's'}, ` +
               `${report.warnings.length} warning${report.warnings.length === 1 ? '' : 's'}`);
    if (report.labels === 0) { $('preview').removeAttribute('src'); return; }
    const image = await post('/v1/render', renderQuery('png', { label: $('label').value }), stream);
    if (!image.ok) throw await failure(image);
    const blob = await image.blob();
    if (mine !== refreshing) return;
    const old = $('preview').src;
    $('preview').src = URL.createObjectURL(blob);
    if (old.startsWith('blob:')) URL.revokeObjectURL(old);
  } catch (error) {
    if (mine !== refreshing) return;
    printed = null;  // nothing to download until the input prints again
    const findings = error.body && error.body.findings ? error.body.findings.findings : [];
    listFindings(findings.map((f) => ({ text: f.text, line: lineOfFinding(f.text), kind: 'eplhost' })));
    showStatus(error.message, true);
  }
}

function refreshSoon() {
  clearTimeout(timer);
  $('files').hidden = !inputIsJson();
  timer = setTimeout(refresh, pauseBeforeRefresh);
}

function save(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

async function download(format) {
  if (!printed) return showStatus('Nothing to download: the input does not print.', true);
  if (format === 'epl') return save(new Blob([printed], { type: 'application/octet-stream' }), 'label.epl');
  const extra = format === 'png' ? { label: $('label').value } : {};
  const response = await post('/v1/render', renderQuery(format, extra), printed);
  if (!response.ok) return showStatus((await failure(response)).message, true);
  save(await response.blob(), `label.${format}`);
}

async function loadModels() {
  const response = await fetch('/v1/models').catch(() => null);
  if (!response || !response.ok) return;
  for (const model of (await response.json()).models)
    $('model').append(new Option(`${model.name} (${model.dpi} dpi)`, model.index));
}

for (const id of ['editor', 'mode', 'model', 'dpi', 'size', 'label', 'images', 'records'])
  $(id).addEventListener(id === 'editor' || id === 'size' ? 'input' : 'change', refreshSoon);
for (const format of ['epl', 'png', 'pdf'])
  $(`download-${format}`).addEventListener('click', () => download(format));
editor.value = example;
loadModels();
refreshSoon();
