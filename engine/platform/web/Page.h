#pragma once

// The page and the program: what app/web/page.html, the program built for
// the browser and the page's tests (tests/web) agree on. Every name below is
// used by at least one of them and nothing else crosses between them; the
// page test holds all three to this list.
//
// The page's settings (its address):
//   `?start=MS`   the program's --start MS: the demo begins at MS ms.
//   `?still`      with ?start: the one frame at MS on a clock that stands
//                 still, drawn at 640 x 480 and kept for reading back.
//   `?calm`       the program's --calm (also the card's second choice).
//   `?autostart`  no card: the demo starts at once.
//   `?framelog`   TARNIX_FRAME_LOG=/dev/stdout: a line a frame on the console.
//
// What the page gives the program:
//   `Module.arguments`    --native (--window for a still frame), --start MS.
//   `Module.audioContext` the Web Audio context the page made and resumed on
//                         the viewer's click (browsers start sound only after
//                         a gesture); the mixer plays through it, and makes
//                         one of its own where the page has none.
//   `Module.tarnixClock`  {frozen: true, at: MS} for a still frame: the
//                         program's clock (SDL_GetTicks) stands at MS. Left
//                         to the program otherwise, which keeps its clock's
//                         state there.
//
// What the program tells the page, on `document.body.dataset` (strings):
//   `demoTime`   the demo time of each frame drawn, ms, as the frame starts.
//   `musicFrom`  where in the track the music started, ms (the --start time
//                within the loop).
//   `musicTime`  beside each demoTime while the music plays: where in the
//                track the listener is, ms, as heard.
//   `ended`      "1" when the demo has ended (Escape, or the end of a run).
// and `Module.onTell(name)` after each, which the mixer sets to write
// musicTime. `Module.tarnixAudio` is the mixer's own state (its context,
// channels and buffers); the clock reads the music's time there.
//
// What the page sets itself, for its tests:
//   `frame`      with ?still: the demo time of the frame kept, once it is
//                drawn and the frame loop paused.
//
// The clock (SDL_GetTicks, LinkReplacements.cpp): ms since the program
// started, from the page's clock (performance.now) until the music plays and
// from the music's clock, as heard (after the output's latency), from then
// on, going on from where the page's clock had it when the switch comes.

namespace tarnix {

// True once the browser runs the frame loop (Host_web.cpp): before, in the
// loading pass, presenting a frame gives the page back to the browser for a
// moment.
bool frameLoopRunning();

}  // namespace tarnix
