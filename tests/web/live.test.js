// The web page's live play against its own still frames, in headless
// Chromium (WebGL on SwiftShader):
//   node live.test.js PAGE
// 1. At three frame rates (the browser's usual animation frames; unthrottled,
//    with no frame-rate limit and no vsync, from the tunnel into the closing;
//    slowed, the processor throttled six times over), live frames of the
//    closing section (its scroller and picture picks step with the motion
//    grid) read back as they are drawn are the page's own still frames of
//    their demo times (?start=MS&still), pixel for pixel. Each rate's frames a
//    second are printed.
// 2. The card's calm choice plays the calm demo: its frames are the calm
//    stills of their times, and they are not the plain ones.
// 3. Without WebGL 2 (--disable-webgl2), the card says so and nothing fails.
// 4. A WebGL context lost while playing brings the card back with a message,
//    and no page error.
// Prints "figure:" and "fail:" lines as page.test.js does; exits 1 after any
// failure.
'use strict';
const {figure, fail, failed, sleep, launch, openPage} = require('./driver');

const [pagePath] = process.argv.slice(2);
const startMs = 55500;
const framesToCompare = 4;

// Installed before the page's scripts: every frame drawn (the demo time the
// program tells the page once it has drawn it) is counted with the page's
// clock, and every `every`-th frame from the 6th, up to `keep` of them, is read
// back from the drawing buffer before the browser shows it: its demo time and
// its RGB bytes, bottom row first.
function recorder(every, keep) {
  window.recorded = {frames: [], times: []};
  const record = () => {
    const t = Number(document.body.dataset.demoTime);
    const shown = window.recorded.times.push([t, performance.now()]);
    if (shown < 6 || shown % every !== 0 || window.recorded.frames.length >= keep) return;
    const canvas = document.getElementById('canvas');
    const gl = canvas.getContext('webgl2');
    const rgba = new Uint8Array(canvas.width * canvas.height * 4);
    gl.readPixels(0, 0, canvas.width, canvas.height, gl.RGBA, gl.UNSIGNED_BYTE, rgba);
    const rgb = new Uint8Array(canvas.width * canvas.height * 3);
    for (let i = 0, j = 0; i < rgba.length; i += 4, j += 3) rgb.set(rgba.subarray(i, i + 3), j);
    window.recorded.frames.push({t, rgb: Array.from(rgb)});
  };
  document.addEventListener('DOMContentLoaded', () =>
    new MutationObserver(record).observe(document.body, {attributes: true, attributeFilter: ['data-demo-time']}));
}

// The still frame of demo time t (plain or calm), RGB bottom row first.
async function stillFrame(browser, t, calm) {
  const errors = [];
  const page = await openPage(browser, pagePath, `?start=${t}&still${calm ? '&calm' : ''}`, errors,
                              {width: 640, height: 480});
  await page.waitForFunction(() => document.body.dataset.frame !== undefined, {timeout: 120000});
  const rgb = await page.evaluate(() => {
    const canvas = document.getElementById('canvas');
    const gl = canvas.getContext('webgl2');
    const rgba = new Uint8Array(640 * 480 * 4);
    gl.readPixels(0, 0, 640, 480, gl.RGBA, gl.UNSIGNED_BYTE, rgba);
    const out = [];
    for (let i = 0; i < rgba.length; i += 4) out.push(rgba[i], rgba[i + 1], rgba[i + 2]);
    return out;
  });
  if (errors.length) fail(`the still at ${t} ms reported: ${errors[0]}`);
  await page.close();
  return rgb;
}

function differingBytes(a, b) {
  if (a.length !== b.length) return Math.max(a.length, b.length);
  let count = 0;
  for (let i = 0; i < a.length; ++i) count += a[i] !== b[i];
  return count;
}

// Plays the page at 640 x 480 from `query` (its start card clicked where
// `click` says), reads frames as `recorder` does, and holds each to the still
// of its time: the frames a second it drew, and the recorded frames.
async function liveAgainstStills(browser, name, query, {click, calm = false, throttle = 0, every = 8} = {}) {
  const errors = [];
  const page = await openPage(browser, pagePath, query, errors,
                              {width: 640, height: 480, beforeLoad: `(${recorder})(${every}, ${framesToCompare})`});
  if (click) {
    await page.waitForFunction(() => typeof Module !== 'undefined' && Module.calledRun, {timeout: 60000});
    await page.click(click);
  }
  if (throttle) {  // once it plays: loading six times slower would only cost time
    await page.waitForFunction(() => document.body.dataset.demoTime !== undefined, {timeout: 120000});
    const session = await page.target().createCDPSession();
    await session.send('Emulation.setCPUThrottlingRate', {rate: throttle});
  }
  await page.waitForFunction(n => window.recorded && window.recorded.frames.length >= n, {timeout: 180000},
                             framesToCompare);
  const {frames, times} = await page.evaluate(() => window.recorded);
  const counted = times.slice(5);
  const seconds = (counted[counted.length - 1][1] - counted[0][1]) / 1000;
  figure(`${name}: frames a second while recording`, ((counted.length - 1) / seconds).toFixed(1));
  for (let i = 1; i < times.length; ++i)
    if (times[i][0] < times[i - 1][0]) fail(`${name}: the demo time stepped back from ${times[i - 1][0]} to ${times[i][0]}`);
  if (errors.length) fail(`${name}: the page reported: ${errors[0]}`);
  await page.close();
  for (const frame of frames) {
    const differing = differingBytes(await stillFrame(browser, frame.t, calm), frame.rgb);
    figure(`${name}: bytes of the frame at ${frame.t} ms unlike its still`, differing);
    if (differing) fail(`${name}: the live frame at ${frame.t} ms is not the still of that time (${differing} bytes)`);
  }
  return frames;
}

async function calmChoice(browser) {
  const frames = await liveAgainstStills(browser, 'calm, chosen on the card', `?start=${startMs}`,
                                         {click: '#calm', calm: true});
  const plain = await stillFrame(browser, frames[0].t, false);
  if (differingBytes(plain, frames[0].rgb) === 0) fail(`the calm frame at ${frames[0].t} ms is the plain one`);
}

async function lostContext(browser) {
  const errors = [];
  const page = await openPage(browser, pagePath, `?autostart&start=${startMs}`, errors);
  await page.waitForFunction(() => document.body.dataset.demoTime !== undefined, {timeout: 120000});
  await page.evaluate(() =>
    document.getElementById('canvas').getContext('webgl2').getExtension('WEBGL_lose_context').loseContext());
  await sleep(2000);
  const card = await page.evaluate(() => ({
    shown: getComputedStyle(document.getElementById('card')).display !== 'none',
    text: document.getElementById('card').innerText,
  }));
  if (!card.shown || !card.text.includes('WebGL context was lost'))
    fail(`a lost context left the card ${card.shown ? 'saying: ' + card.text : 'hidden'}`);
  if (errors.length) fail(`a lost context made the page report: ${errors[0]}`);
  await page.close();
}

async function withoutWebGL2() {
  const browser = await launch(['--disable-webgl2']);
  try {
    const errors = [];
    const page = await openPage(browser, pagePath, '', errors);
    await page.waitForFunction(() => typeof Module !== 'undefined' && Module.calledRun, {timeout: 60000});
    await page.click('#card');
    await sleep(1000);
    const text = await page.evaluate(() => document.getElementById('card').innerText);
    if (!text.includes('needs WebGL 2')) fail(`without WebGL 2 the card says: ${text}`);
    if (await page.evaluate(() => document.body.dataset.demoTime !== undefined)) fail('without WebGL 2 the demo played');
    if (errors.length) fail(`without WebGL 2 the page reported: ${errors[0]}`);
    await page.close();
  } finally {
    await browser.close();
  }
}

(async () => {
  const browser = await launch();
  try {
    await liveAgainstStills(browser, 'usual frame rate', `?autostart&start=${startMs}`);
    await liveAgainstStills(browser, 'slowed six times', `?autostart&start=${startMs}`, {throttle: 6, every: 2});
    const unthrottled = await launch(['--disable-frame-rate-limit', '--disable-gpu-vsync']);
    try {
      // From the tunnel, which the software renderer draws a hundred times a
      // second unthrottled, into the closing.
      await liveAgainstStills(unthrottled, 'unthrottled', '?autostart&start=52700', {every: 12});
    } finally {
      await unthrottled.close();
    }
    await calmChoice(browser);
    await lostContext(browser);
    await withoutWebGL2();
  } catch (error) {
    fail(error.message);
  } finally {
    await browser.close();
  }
  process.exit(failed() ? 1 : 0);
})();
