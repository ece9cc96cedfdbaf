// The page's script, run before the core (shell/web) starts: the window the
// core draws and shows through Module.page, the person's Start and Exit, the
// remote asked for at Start, the boxes beside the window, the screen kept on
// during a run, and the demo's scenarios. In JavaScript of 2019 at the
// latest: Emscripten 3.1.6's optimiser reads no later.
Module.page = (() => {
  const element = (id) => document.getElementById(id);
  const demo = new URLSearchParams(location.search).get('demo');
  const buttons = [];
  let dropping = false;  // from a click of Start until the run has returned
  let ended = false;
  let causeBox = null;
  const locks = new Map();  // the screen's wake locks, as the core holds them
  let lastLock = 0;

  // A box beside the window, as the windows' message boxes are: a title,
  // its lines and OK, which closes it.
  function box(title, lines) {
    const shown = element('boxes').appendChild(document.createElement('section'));
    shown.className = 'box';
    shown.setAttribute('role', 'alertdialog');
    shown.setAttribute('aria-label', title);
    shown.appendChild(document.createElement('h2')).textContent = title;
    for (const line of lines.filter(Boolean)) {
      shown.appendChild(document.createElement('p')).textContent = line;
    }
    const ok = shown.appendChild(document.createElement('button'));
    ok.textContent = 'OK';
    ok.addEventListener('click', () => shown.remove());
    return {shown, ok};
  }

  function closeCause() {
    if (causeBox) {
      causeBox.shown.remove();
    }
  }

  async function start() {
    dropping = true;
    document.body.classList.add('running');
    try {
      if (demo === null) {
        await Module.webUsb.askForRemote();
      }
      await Module.ccall('corvane_start', null, [], [], {async: true});
    } finally {
      dropping = false;
      document.body.classList.remove('running');
    }
  }

  // Start and Exit; both do nothing during a run, and nothing once the
  // updater has ended.
  function press(action) {
    if (dropping || ended) {
      return;
    }
    action === 'start' ? start() : Module.ccall('corvane_exit', null, [], []);
  }

  // Where the browser cannot reach a remote at all, the person learns it
  // before pressing Start.
  function tellWhereWebUsbIs() {
    if (demo !== null || Module.webUsb.available()) {
      return;
    }
    box('This browser cannot reach the remote', [
      window.isSecureContext ?
          'The updater reaches the remote through WebUSB, which this browser does not have. ' +
              'Open this page in Chrome, Edge, Opera or another browser built on Chromium, on ' +
              'Windows, macOS, Linux or ChromeOS; Firefox and Safari have no WebUSB.' :
          'The updater reaches the remote through WebUSB, which a browser offers only to a ' +
              'page served over HTTPS or from this computer (localhost).',
      'Or use the updater for your system: corvane-updater.exe on Windows, the package ' +
          'corvane-updater on Debian and Ubuntu.',
    ]);
  }

  return {
    demo,

    open(title) {
      document.title = title;
      element('title').textContent = title;
      element('window').hidden = false;
      tellWhereWebUsbIs();
    },
    addControl(name, kind, text, left, top, width, height, action) {
      const tag = {button: 'button', group: 'fieldset', text: 'div', bar: 'progress'}[kind];
      const control = element('client').appendChild(document.createElement(tag));
      control.id = name;
      Object.assign(control.style,
                    {left: `${left}px`, top: `${top}px`, width: `${width}px`, height: `${height}px`});
      if (kind === 'group') {
        control.appendChild(document.createElement('legend')).textContent = text;
      } else if (kind !== 'bar') {
        control.textContent = text;
      }
      if (kind === 'button') {
        control.addEventListener('click', () => press(action));
        buttons.push(control);
        if (action === 'start') {
          control.autofocus = true;
          queueMicrotask(() => control.focus());
        }
      }
    },
    font(name, faces, points, weight) {
      Object.assign(element(name).style, {
        fontFamily: faces.map((face) => `"${face}"`).join(', '),
        fontSize: `${points}pt`,
        fontWeight: weight,
      });
    },
    setText(name, text) {
      element(name).textContent = text;
    },
    setProgress(name, position, steps) {
      Object.assign(element(name), {max: steps, value: position});
    },

    showCause(title, hint, cause) {
      closeCause();
      causeBox = box(title, [hint, cause]);
    },
    // The box that tells why a run closed the window; returns once it is
    // dismissed.
    boxAfterClosing(title, text) {
      const {ok} = box(title, text.split('\n\n'));
      ok.focus();
      return new Promise((resolve) => ok.addEventListener('click', resolve));
    },
    // Where the window would go: the status stays, the buttons go.
    hideButtons() {
      buttons.forEach((button) => button.remove());
    },
    // What the page has instead of closing: the session ends, and a line
    // offers to start the updater again.
    end() {
      ended = true;
      this.hideButtons();
      closeCause();
      element('ended').hidden = false;
    },

    keepAwake(program) {
      const lock = ++lastLock;
      if ('wakeLock' in navigator) {
        locks.set(lock, navigator.wakeLock.request('screen').catch((error) => {
          console.warn(`${program}: the screen may go dark during the update: ${error.message}`);
        }));
      }
      return lock;
    },
    letSleep(lock) {
      const held = locks.get(lock);
      if (held) {
        held.then((sentinel) => sentinel && sentinel.release());
      }
      locks.delete(lock);
    },

    // The system the browser runs on, for the causes' hints: 1 Windows,
    // 2 Linux, 0 another.
    system() {
      const platform = (navigator.userAgentData || navigator).platform || '';
      return /^win/i.test(platform) ? 1 : /linux/i.test(platform) ? 2 : 0;
    },

    about(text) {
      element('about').textContent += text;
    },
    scenarios(list, chosen, known) {
      const items = element('scenarios').querySelector('ul');
      for (const line of list.trim().split('\n')) {
        const [name, description] = line.split(/ {2}(.*)/);
        const item = items.appendChild(document.createElement('li'));
        const link = item.appendChild(document.createElement('a'));
        link.href = `?demo=${encodeURIComponent(name)}`;
        link.textContent = name;
        item.append(`: ${description}`);
        if (name === chosen) {
          item.setAttribute('aria-current', 'true');
        }
      }
      if (!known) {
        element('unknown').textContent = `There is no scenario "${chosen}".`;
        element('unknown').hidden = false;
      }
      element('scenarios').hidden = false;
    },
  };
})();

// The demo's scenario is the core's one argument.
Module.arguments = Module.page.demo === null ? [] : [Module.page.demo];
