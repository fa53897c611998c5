// Appended to the shipped setup page for the streaming benchmark: reports when the page has
// loaded, then, at the last line, how many lines came before it and whether each came in
// order ("wiersz N …"). The check is kept cheap so that it weighs little in the page's time.
(() => {
  const original = wrLog;
  let lines = 0;
  let ordered = true;
  wrLog = (line) => {
    original(line);
    if (line === 'KONIEC') {
      fetch('http://127.0.0.1:8478/done?lines=' + lines + '&ordered=' + ordered, {mode: 'no-cors'});
      return;
    }
    lines++;
    if (!line.startsWith('wiersz ' + lines + ' ')) ordered = false;
  };
  addEventListener('load', () => fetch('http://127.0.0.1:8478/loaded', {mode: 'no-cors'}));
})();
