// What every program's page shares: the Module that the program's loader
// (NAME.js, loaded after this) takes its settings from, the status line, the
// program's message box and, where the page has one, the window's close
// button.
'use strict';
const status = document.getElementById('status');
var Module = {
  canvas: document.getElementById('canvas'),
  // The program's standard output and error, line by line.
  print: (line) => console.log(line),
  printErr: (line) => console.error(line),
  onRuntimeInitialized: () => { status.textContent = 'Running'; },
  onExit: (code) => {
    status.textContent = 'The program ended with exit code ' + code + '.';
    console.log('exit code ' + code);
  },
  onAbort: (what) => { status.textContent = 'The program failed: ' + what; },
  // Read by the program on its next frame (port/web_display.cpp): the
  // window's close button.
  closeRequested: false,
  // A modal message box: `done` runs when OK is pressed.
  showMessageBox: (caption, text, done) => {
    const box = document.getElementById('message-box');
    document.getElementById('message-caption').textContent = caption;
    document.getElementById('message-text').textContent = text;
    box.hidden = false;
    document.getElementById('message-ok').onclick = () => { box.hidden = true; done(); };
  },
};
const closeButton = document.getElementById('close');
if (closeButton) {
  closeButton.addEventListener('click', () => { Module.closeRequested = true; });
}
