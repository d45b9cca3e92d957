// The web release's page in headless Chromium (WebGL on SwiftShader), opened
// from disk as a viewer's double-click opens it:
//   node page.test.js PAGE OUTDIR MS...
// 1. The start card shows the title, the photosensitivity warning, "Click
//    to start", the calm demo beside it and what the page leaves out, and
//    nothing plays before a click.
// 2. A still frame at each MS (?start=MS&still), read back from the canvas
//    into OUTDIR/still_MS.png for the caller to hold to the native capture.
// 3. After a click on the card, loading without blocking the page (no wait
//    for a page frame of half the loading's time), then ten seconds of play: no
//    page error, the demo time advancing at the clock's rate, the music
//    within 100 ms of it; then Escape ends the demo.
// 4. The page's contract (engine/platform/web/Page.h, under TARNIX_SOURCE):
//    every setting the page reads from its address, every dataset name the
//    page, the program and these tests use, and every Module.tarnix* name is
//    written down there, and everything written down there is used.
// Prints "figure: NAME VALUE [UNIT]" lines and "fail: REASON" lines; exits 1
// after any failure.
// The card's warning is held to TARNIX_WARNING, the program's own (the first
// line of its --help), when that is set.
'use strict';
const fs = require('fs');
const path = require('path');
const {figure, fail, failed, sleep, launch, openPage: open} = require('./driver');

const [pagePath, outDir, ...stillTimes] = process.argv.slice(2);
const openPage = (browser, query, errors) => open(browser, pagePath, query, errors);

async function startCard(browser) {
  const errors = [];
  const page = await openPage(browser, '', errors);
  await page.waitForFunction(() => typeof Module !== 'undefined' && Module.calledRun, {timeout: 60000});
  const card = await page.evaluate(() => {
    const element = document.getElementById('card');
    return {shown: getComputedStyle(element).display !== 'none', text: element.innerText};
  });
  if (!card.shown) fail('the start card is not shown');
  for (const words of ['Kelbo vs. Vistral', 'Photosensitivity warning', 'Click to start', 'calm',
                       'This page plays the demo alone: captures to frames and video, the development mode'])
    if (!card.text.includes(words)) fail(`the start card does not say "${words}"`);
  const warning = await page.evaluate(() => document.querySelector('#card .warning').textContent);
  if (process.env.TARNIX_WARNING && warning !== process.env.TARNIX_WARNING)
    fail(`the card's warning is not the program's: "${warning}"`);
  await sleep(1000);
  if (await page.evaluate(() => document.body.dataset.demoTime !== undefined)) fail('the demo started before a click');
  if (errors.length) fail(`the card's page reported: ${errors[0]}`);
  await page.close();
}

async function stillFrames(browser) {
  for (const ms of stillTimes) {
    const errors = [];
    const started = Date.now();
    const page = await openPage(browser, `?start=${ms}&still`, errors);
    await page.waitForFunction(() => document.body.dataset.frame !== undefined, {timeout: 120000});
    figure(`still frame at ${ms} ms, page opened to frame shown`, ((Date.now() - started) / 1000).toFixed(2), 's');
    const frame = await page.evaluate(() => document.body.dataset.frame);
    if (frame !== ms) fail(`the still at ${ms} ms says it shows ${frame}`);
    const picture = await page.evaluate(() => document.getElementById('canvas').toDataURL('image/png'));
    fs.writeFileSync(path.join(outDir, `still_${ms}.png`), Buffer.from(picture.split(',')[1], 'base64'));
    if (errors.length) fail(`the still at ${ms} ms reported: ${errors[0]}`);
    await page.close();
  }
}

async function livePlay(browser) {
  const errors = [];
  const page = await openPage(browser, '', errors);
  await page.waitForFunction(() => typeof Module !== 'undefined' && Module.calledRun, {timeout: 60000});
  // The page's own animation frames while the demo loads: the loading pass
  // gives the page back to the browser at each bar it draws.
  await page.evaluate(() => {
    window.framesWhileLoading = 0;
    window.longestWait = 0;
    let last = performance.now();
    const count = now => {
      window.longestWait = Math.max(window.longestWait, now - last);
      last = now;
      if (document.body.dataset.demoTime !== undefined) return;
      ++window.framesWhileLoading;
      requestAnimationFrame(count);
    };
    requestAnimationFrame(count);
  });
  const clicked = Date.now();
  await page.click('#card .start');
  await page.waitForFunction(() => document.body.dataset.demoTime !== undefined, {timeout: 60000});
  const loadingMs = Date.now() - clicked;
  const loading = await page.evaluate(() => ({frames: window.framesWhileLoading, longestWait: window.longestWait}));
  figure('live play, click to first frame', (loadingMs / 1000).toFixed(2), 's');
  figure('live play, page frames while loading', loading.frames);
  figure('live play, longest wait between page frames while loading', Math.round(loading.longestWait), 'ms');
  if (loading.longestWait > loadingMs / 2)
    fail(`the page waited ${Math.round(loading.longestWait)} ms for a frame in the ${loadingMs} ms of loading: blocked`);
  const samples = [];
  for (let i = 0; i <= 10; ++i) {
    if (i > 0) await sleep(1000);
    samples.push(await page.evaluate(() => ({
      wall: performance.now(),
      demo: Number(document.body.dataset.demoTime),
      music: Number(document.body.dataset.musicTime),
      audio: Module.audioContext ? Module.audioContext.state : 'none',
    })));
  }
  const first = samples[0], last = samples[samples.length - 1];
  const rate = (last.demo - first.demo) / (last.wall - first.wall);
  figure('live play, demo time per clock time', rate.toFixed(3));
  if (!(rate > 0.95 && rate < 1.05)) fail(`the demo time ran at ${rate.toFixed(3)} of the clock's rate`);
  if (last.audio !== 'running') fail(`the page's sound is ${last.audio}, not running`);
  let worst = 0;
  for (const sample of samples) {
    if (!Number.isFinite(sample.music)) {
      fail(`no music time beside demo time ${sample.demo} ms`);
      break;
    }
    worst = Math.max(worst, Math.abs(sample.music - sample.demo));
  }
  figure('live play, music time from demo time, most', worst, 'ms');
  if (worst > 100) fail(`the music was ${worst} ms from the picture`);
  if (errors.length) fail(`the page reported while playing: ${errors[0]}`);
  await page.keyboard.press('Escape');
  try {
    await page.waitForFunction(() => document.body.dataset.ended === '1', {timeout: 10000});
  } catch (error) {
    fail('Escape did not end the demo');
  }
  if (errors.length) fail(`the page reported as the demo ended: ${errors[0]}`);
  await page.close();
}

// The names of one kind found by `pattern` (its first group) in `texts`.
function namesIn(texts, pattern) {
  const names = new Set();
  for (const text of texts)
    for (const match of text.matchAll(pattern)) names.add(match[1]);
  return names;
}

function contract(source) {
  const read = file => fs.readFileSync(path.join(source, file), 'utf8');
  const listed = fs.readdirSync(path.join(source, 'engine/platform/web')).filter(f => f !== 'Page.h')
                   .map(f => 'engine/platform/web/' + f);
  const program = listed.concat(['engine/platform/Host_web.cpp', 'engine/media/Sound.cpp', 'app/demo/Demo.cpp']).map(read);
  const page = read('app/web/page.html');
  const tests = fs.readdirSync(path.join(source, 'tests/web')).filter(f => f.endsWith('.js')).map(f => read('tests/web/' + f));
  const header = read('engine/platform/web/Page.h');
  const written = namesIn([header], /`([^`]+)`/g);
  const kinds = [
    ['setting', namesIn([page], /query\.(?:has|get)\('(\w+)'\)/g), name => `?${name}`],
    ['dataset name', new Set([...namesIn([page, ...program, ...tests], /dataset\.(\w+)/g),
                              ...namesIn(program, /tellHost\("(\w+)"/g)]), name => name],
    ['Module name', namesIn([page, ...program, ...tests], /Module\.(tarnix\w+)/g), name => `Module.${name}`],
  ];
  for (const [kind, used, asWritten] of kinds)
    for (const name of used)
      if (![...written].some(entry => entry === asWritten(name) || entry.startsWith(asWritten(name) + '=')))
        fail(`the page's contract (Page.h) does not name the ${kind} ${asWritten(name)}, which is used`);
  const everyUse = [page, ...program, ...tests].join('\n');
  for (const entry of written) {
    const name = entry.replace(/^\?|=.*$|\(.*$/g, '').replace(/^Module\./, '');
    if (!everyUse.includes(name)) fail(`the page's contract (Page.h) names ${entry}, which nothing uses`);
  }
}

(async () => {
  if (process.env.TARNIX_SOURCE) contract(process.env.TARNIX_SOURCE);
  else fail('TARNIX_SOURCE is not set: the page\'s contract was not checked');
  const browser = await launch();
  try {
    figure('page size', (fs.statSync(pagePath).size / 1048576).toFixed(2), 'MiB');
    await startCard(browser);
    await stillFrames(browser);
    await livePlay(browser);
  } catch (error) {
    fail(error.message);
  } finally {
    await browser.close();
  }
  process.exit(failed() ? 1 : 0);
})();
