// The browser's side of the link's WebUSB backend (webusb_backend.cpp): the
// remotes this page may use, each one's interface opened and claimed once
// for all its pipe files, and transfers that end in time. In JavaScript of
// 2019 at the latest: Emscripten 3.1.6's optimiser reads no later.
Module.webUsb = (() => {
  let remote = null;  // the remote's ids, and the link's cause kinds, from setUp
  let walked = [];  // the devices of the last walk
  const claims = new Map();  // a device's claim: its interface, endpoints and files
  const files = new Map();  // handle: {claim, endpoint, transfer}
  let lastHandle = 0;
  let lastCause = null;  // why the last call failed: {kind, text}

  // Why the browser refused, as the link's causes have it. Opening fails with
  // SecurityError where the system does not let the browser open the device
  // (Linux without the udev rule, Windows where the remote's own driver
  // holds it); claiming fails with NetworkError where another program or tab
  // has the remote.
  function causeOf(error) {
    const kinds = {
      NotFoundError: remote.kinds.gone,
      SecurityError: remote.kinds.denied,
      NetworkError: remote.kinds.held,
    };
    const name = error && error.name;
    return {kind: name in kinds ? kinds[name] : remote.kinds.other,
            text: String(error && error.message || error)};
  }

  // The remote's kind of interface: vendor-specific, with two bulk
  // endpoints, which in their order are its pipes.
  function remoteInterface(device) {
    const configuration = device.configuration || device.configurations[0];
    for (const candidate of configuration ? configuration.interfaces : []) {
      const alternate = candidate.alternates[0];
      const endpoints = alternate.endpoints.filter((endpoint) => endpoint.type === 'bulk');
      if (alternate.interfaceClass === 0xff && endpoints.length >= 2) {
        return {number: candidate.interfaceNumber, endpoints};
      }
    }
    return null;
  }

  async function claim(device) {
    const found = remoteInterface(device);
    if (!device.opened) {
      await device.open();
    }
    if (device.configuration === null) {
      await device.selectConfiguration(device.configurations[0].configurationValue);
    }
    try {
      await device.claimInterface(found.number);
    } catch (error) {
      await device.close().catch(() => {});
      throw error;
    }
    return {device, number: found.number, endpoints: found.endpoints, files: 0};
  }

  async function release(held) {
    try {
      await held.device.releaseInterface(held.number);
      await held.device.close();
    } catch {
      // gone with the device
    }
  }

  // A transfer as the link collects it: ended or not, completed or not.
  function track(started) {
    const transfer = {ended: false, completed: false, data: null, cause: null};
    transfer.settled = started.then(
        (result) => {
          transfer.completed = result.status === 'ok';
          transfer.data = result.data || null;
          transfer.count = 'bytesWritten' in result ? result.bytesWritten :
                                                       transfer.data ? transfer.data.byteLength : 0;
          if (!transfer.completed) {
            transfer.cause = {kind: remote.kinds.other, text: `transfer ended: ${result.status}`};
          }
        },
        (error) => {
          // An AbortError is the link's own cancel, no cause of its own.
          transfer.cause = error && error.name === 'AbortError' ? null : causeOf(error);
        }).finally(() => {
      transfer.ended = true;
    });
    return transfer;
  }

  function failedAtOnce(cause) {
    return {ended: true, completed: false, settled: Promise.resolve(), cause};
  }

  return {
    setUp(vendorId, productId, kinds) {
      remote = {vendorId, productId, kinds};
    },
    available: () => 'usb' in navigator,

    // At Start, the person's gesture: the remotes this page may use already,
    // or else the browser's chooser, for the remote's ids only.
    async askForRemote() {
      if (!navigator.usb) {
        return;
      }
      const filter = {vendorId: remote.vendorId, productId: remote.productId};
      const permitted = await navigator.usb.getDevices();
      if (permitted.some((d) => d.vendorId === filter.vendorId && d.productId === filter.productId)) {
        return;
      }
      try {
        await navigator.usb.requestDevice({filters: [filter]});
      } catch {
        // none chosen: the run finds no remote and says so
      }
    },

    async walk() {
      walked = navigator.usb ? await navigator.usb.getDevices() : [];
      return walked.length;
    },
    ids: (index) => ((walked[index].vendorId << 16) | walked[index].productId) >>> 0,
    carriesRemote: (index) => remoteInterface(walked[index]) !== null,
    name: (index) => allocateUTF8(walked[index].productName || ''),
    serialNumber: (index) => allocateUTF8(walked[index].serialNumber || ''),

    // A handle, or 0 with the cause kept.
    async openPipe(index, pipe) {
      const device = walked[index];
      if (!device || !remoteInterface(device)) {
        lastCause = {kind: remote.kinds.gone, text: 'no such remote'};
        return 0;
      }
      let held = claims.get(device);
      if (!held) {
        try {
          held = await claim(device);
        } catch (error) {
          lastCause = causeOf(error);
          return 0;
        }
        claims.set(device, held);
      }
      if (pipe >= held.endpoints.length) {
        lastCause = {kind: remote.kinds.other, text: 'no such pipe'};
        return 0;
      }
      held.files += 1;
      files.set(++lastHandle, {held, endpoint: held.endpoints[pipe], transfer: null});
      return lastHandle;
    },
    async closePipe(handle) {
      const file = files.get(handle);
      files.delete(handle);
      if (file && --file.held.files === 0) {
        claims.delete(file.held.device);
        await release(file.held);
      }
    },

    startRead(handle, size) {
      const file = files.get(handle);
      if (!file || file.endpoint.direction !== 'in') {
        file && (file.transfer = failedAtOnce({kind: remote.kinds.other, text: 'not a read pipe'}));
        return;
      }
      // Whole packets, so that a longer reply shows its whole count.
      const packet = Math.max(file.endpoint.packetSize, 1);
      const length = Math.ceil(size / packet) * packet;
      file.transfer = track(file.held.device.transferIn(file.endpoint.endpointNumber, length));
    },
    startWrite(handle, bytes) {
      const file = files.get(handle);
      if (!file || file.endpoint.direction !== 'out') {
        file && (file.transfer = failedAtOnce({kind: remote.kinds.other, text: 'not a write pipe'}));
        return;
      }
      file.transfer = track(file.held.device.transferOut(file.endpoint.endpointNumber, bytes));
    },

    // 1 once the transfer has ended, 0 when `ms` passed first, -1 for none.
    async wait(handle, ms) {
      const file = files.get(handle);
      const transfer = file && file.transfer;
      if (!transfer) {
        return -1;
      }
      let timer;
      const timedOut = new Promise((resolve) => {
        timer = setTimeout(resolve, ms);
      });
      await Promise.race([transfer.settled, timedOut]);
      clearTimeout(timer);
      return transfer.ended ? 1 : 0;
    },

    // Ends the transfer, pending or not, copies what a read brought into
    // the link's buffer and gives its count, or -1 when it did not complete.
    // WebUSB cancels only by releasing the interface, which ends every
    // transfer on it, or by closing the device, where a release did not end
    // it within a second; the interface is claimed again for the rest of
    // the run.
    async collect(handle, into, size) {
      const file = files.get(handle);
      const transfer = file && file.transfer;
      if (!transfer) {
        return -1;
      }
      file.transfer = null;
      if (!transfer.ended) {
        const {device, number} = file.held;
        const released = device.releaseInterface(number).catch(() => {});
        await Promise.race([transfer.settled, new Promise((ended) => setTimeout(ended, 1000))]);
        await released;
        try {
          if (!transfer.ended) {
            await device.close();
            await transfer.settled;
            await device.open();
          }
          await device.claimInterface(number);
        } catch {
          // gone with the device: what follows finds it so
        }
      }
      lastCause = transfer.cause;
      if (!transfer.completed) {
        return -1;
      }
      if (transfer.data) {
        const bytes = new Uint8Array(transfer.data.buffer, transfer.data.byteOffset,
                                     Math.min(size, transfer.data.byteLength));
        HEAPU8.set(bytes, into);
      }
      return transfer.count;
    },

    // The cause of the last call that failed; none after one that did not.
    causeKind: () => lastCause ? lastCause.kind : 0,
    causeText: () => allocateUTF8(lastCause ? lastCause.text : ''),
  };
})();
