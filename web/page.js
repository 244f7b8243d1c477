// The page around the program: fetches the files the program reads into its
// working folder, starts it, shows what it says, and keeps the status object
//   window.tarnvale = {state, frames, device, fpsText, messages}
// current: state is "starting", "running" (after the first frame), "ended"
// (Esc or the window closed) or "failed" (the program could not start, or
// stopped); frames, device and fpsText are the frame count, the device line
// and the frame-rate text of the last frame; messages is every line the
// program wrote to stderr (its message boxes included), in order.
//
// ?seed=N runs the program on a scripted clock whose first reading is N (the
// rack's random seed) and which advances 1/60 s a frame, as
// tarnvale-capture --seed N does.
'use strict';

(function () {
  const canvas = document.getElementById('canvas');
  const statusLine = document.getElementById('status');
  const messageBox = document.getElementById('messages');

  const status = { state: 'starting', frames: 0, device: '', fpsText: '', messages: [] };
  window.tarnvale = status;

  function say(line) {
    status.messages.push(line);
    messageBox.textContent += line + '\n';
    messageBox.hidden = false;
  }

  function show(state, text) {
    status.state = state;
    statusLine.textContent = text;
    statusLine.className = state;
  }

  function fail(reason) {
    if (status.state === 'failed' || status.state === 'ended') return;
    if (reason) say(reason);
    show('failed', 'The demo could not run; what it said is below. Reload the page to try again.');
    console.error('Tarnvale: the demo could not run' + (reason ? ': ' + reason : ''));
  }

  let seed;
  const params = new URLSearchParams(window.location.search);
  if (params.has('seed')) {
    const text = params.get('seed');
    if (/^[0-9]+$/.test(text) && Number.isSafeInteger(Number(text))) {
      seed = Number(text);
    } else {
      fail('?seed=' + text + ': the seed must be a whole number from 0 to ' + Number.MAX_SAFE_INTEGER);
      return;
    }
  }

  // The data files, fetched into the program's working folder before main
  // runs. One that cannot be fetched is left out: the program then meets it
  // missing and says so in its own words, as it would anywhere else.
  function fetchFiles(module) {
    module.addRunDependency('tarnvale-files');
    fetch('files.json')
      .then((response) => {
        if (!response.ok) throw new Error('files.json: ' + response.status + ' ' + response.statusText);
        return response.json();
      })
      .then((paths) => Promise.all(paths.map((path) =>
        fetch(path)
          .then((response) => (response.ok ? response.arrayBuffer() : null), () => null)
          .then((data) => ({ path, data })))))
      .then((files) => {
        for (const file of files) {
          if (file.data === null) continue;
          const slash = file.path.lastIndexOf('/');
          if (slash > 0) {
            const folder = file.path.slice(0, slash);
            if (!module.FS.analyzePath(folder).exists) module.FS.mkdirTree(folder);
          }
          module.FS.writeFile(file.path, new Uint8Array(file.data));
        }
        module.removeRunDependency('tarnvale-files');
      })
      .catch((error) => fail('the page could not fetch its list of files (' + error.message + ')'));
  }

  window.Module = {
    canvas,
    tarnvaleSeed: seed,
    preRun: [() => fetchFiles(window.Module)],
    print(text) {
      console.log(text);
    },
    printErr(text) {
      console.warn(text);
      say(text);
    },
    // Called by the program after every frame (web/main.cpp).
    tarnvaleFrame(frames, device, fpsText) {
      status.frames = frames;
      status.device = device;
      status.fpsText = fpsText;
      if (status.state === 'starting') show('running', 'Running on ' + device + '.');
    },
    // Called when the program's main returns.
    tarnvaleEnd(exitStatus, frames) {
      status.frames = frames;
      if (exitStatus === 0) {
        show('ended', 'The demo has ended. Reload the page to start it again.');
      } else {
        fail('');
      }
    },
    onAbort(what) {
      fail('the program stopped: ' + what);
    },
  };

  canvas.addEventListener('contextmenu', (event) => event.preventDefault());
  canvas.focus();

  const script = document.createElement('script');
  script.src = 'tarnvale.js';
  script.onerror = () => fail('tarnvale.js could not be loaded');
  document.body.appendChild(script);
})();
