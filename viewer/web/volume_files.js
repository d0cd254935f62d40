// The viewer's page opens the user's own volume files: a file picked with
// the button or dropped on the picture is read in the page, inflated by the
// browser's own DecompressionStream where it is gzip-compressed, written
// into the program's in-memory file system and asked for in
// Module.volumeRequest; the program (viewer/web_main.cpp) reads it with
// mcubes view's readers and answers through Module.volumeOpened. Nothing is
// sent anywhere.
'use strict';
(() => {
  const input = document.getElementById('volume-file');
  const message = document.getElementById('volume-message');
  const view = document.getElementById('view');
  // The most bytes a volume may take in the program, as it says. A file of
  // n bytes holds at least n / 8 voxels, which the program holds as 8-byte
  // doubles: a file (inflated) larger than this cannot fit, and is refused
  // before its bytes are copied.
  let largestBytes = 0;
  let busy = false;

  const say = (text, failed) => {
    message.textContent = text;
    message.className = failed ? 'failed' : '';
  };
  const megabytes = (bytes) => Math.ceil(bytes / 1e6) + ' MB';
  // `size`: the file's size as the message says it.
  const tooLarge = (name, size) => new Error(
      name + ' (' + size + ') is larger than this page can hold (' + megabytes(largestBytes) +
      '): open it with mcubes view on the desktop');

  const concatenate = (parts, total) => {
    const bytes = new Uint8Array(total);
    let at = 0;
    for (const part of parts) {
      bytes.set(part, at);
      at += part.length;
    }
    return bytes;
  };

  // The whole of a gzip stream, inflated; stopped as soon as it outgrows
  // what the page can hold.
  async function inflate(name, blob) {
    if (typeof DecompressionStream === 'undefined') {
      throw new Error(name + ': this browser cannot inflate gzip (no DecompressionStream): ' +
                      'decompress the file first');
    }
    const reader = blob.stream().pipeThrough(new DecompressionStream('gzip')).getReader();
    const parts = [];
    let total = 0;
    try {
      for (;;) {
        const {done, value} = await reader.read();
        if (done) break;
        total += value.length;
        if (total > largestBytes) {
          reader.cancel();
          throw tooLarge(name, 'more than ' + megabytes(largestBytes) + ' inflated');
        }
        parts.push(value);
      }
    } catch (error) {
      if (error instanceof TypeError) {
        throw new Error(name + ': not a whole gzip stream (' + error.message + ')');
      }
      throw error;
    }
    return concatenate(parts, total);
  }

  // A NRRD file whose attached data has gzip encoding, as 3D Slicer writes
  // them, turned into the same file with raw encoding (the program's
  // readers inflate nothing here); any other file as it is.
  async function withRawNrrdData(name, file) {
    const start = new Uint8Array(await file.slice(0, 1 << 16).arrayBuffer());
    const text = Array.from(start, (byte) => String.fromCharCode(byte)).join('');
    const end = /\r?\n\r?\n/.exec(text);
    const encoding = /^encoding:[ \t]*(gzip|gz)[ \t]*\r?$/m;
    if (!text.startsWith('NRRD') || !end || !encoding.test(text.slice(0, end.index)) ||
        /^data ?file:/m.test(text.slice(0, end.index))) {
      return new Uint8Array(await file.arrayBuffer());
    }
    const dataStart = end.index + end[0].length;
    const header = text.slice(0, dataStart).replace(encoding, 'encoding: raw');
    const data = await inflate(name, file.slice(dataStart));
    const bytes = new Uint8Array(header.length + data.length);
    for (let i = 0; i < header.length; i++) bytes[i] = header.charCodeAt(i);
    bytes.set(data, header.length);
    return bytes;
  }

  // The raw form's layout, or null where the file has a header.
  function rawLayout() {
    if (!document.getElementById('raw').checked) return null;
    const dims = ['raw-x', 'raw-y', 'raw-z'].map((id) => Number(document.getElementById(id).value));
    if (!dims.every((d) => Number.isInteger(d) && d >= 1 && d < 2 ** 31)) {
      throw new Error('Raw voxels: give X, Y and Z as whole numbers of 1 or more');
    }
    return {dims: dims, type: document.getElementById('raw-type').value,
            endian: document.getElementById('raw-endian').value};
  }

  // The file's bytes as the program's readers take them, and its name there.
  async function readable(file) {
    const name = file.name.replace(/[\/\\]/g, '_');
    if (file.size > largestBytes) throw tooLarge(name, megabytes(file.size));
    if (/\.gz$/i.test(name)) return [name.slice(0, -3), await inflate(name, file)];
    if (/\.mgz$/i.test(name)) return [name.slice(0, -4) + '.mgh', await inflate(name, file)];
    if (/\.nrrd$/i.test(name)) return [name, await withRawNrrdData(name, file)];
    return [name, new Uint8Array(await file.arrayBuffer())];
  }

  async function open(file) {
    if (busy || !file) return;
    busy = true;
    input.disabled = true;
    say('Reading ' + file.name + '…', false);
    try {
      const raw = rawLayout();
      const [name, bytes] = await readable(file);
      Module.FS.writeFile(name, bytes);
      Module.volumeRequest = {name: name, raw: raw};
      // The viewer closes its window as the close button does, and opens
      // it again on the volume.
      Module.closeRequested = true;
    } catch (error) {
      busy = false;
      input.disabled = false;
      say(error.message, true);
    }
  }

  Module.volumeFilesOffered = (controls, largest) => {
    document.getElementById('keys').textContent = controls;
    largestBytes = largest;
    Module.FS.mkdir('/volumes');
    Module.FS.chdir('/volumes');
    input.disabled = false;
  };

  Module.volumeOpened = (name, shown, text) => {
    // The program holds what it read; the file's bytes go.
    try {
      Module.FS.unlink(name);
    } catch (ignored) {
    }
    busy = false;
    input.disabled = false;
    say(shown ? name + ': ' + text : text, !shown);
  };

  // A program that has ended (Esc) takes no more files.
  const ended = Module.onExit;
  Module.onExit = (code) => {
    input.disabled = true;
    ended(code);
  };

  input.addEventListener('change', () => {
    open(input.files[0]);
    input.value = '';
    // The viewer's keys again, which the page's fields keep to themselves.
    input.blur();
  });
  view.addEventListener('dragover', (e) => {
    e.preventDefault();
    e.dataTransfer.dropEffect = 'copy';
    view.classList.add('dropping');
  });
  view.addEventListener('dragleave', () => view.classList.remove('dropping'));
  view.addEventListener('drop', (e) => {
    e.preventDefault();
    view.classList.remove('dropping');
    open(e.dataTransfer.files[0]);
  });
})();
