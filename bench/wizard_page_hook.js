// Appended to the shipped setup page for the streaming benchmark: once the last line has
// been drawn, report how many lines the log holds and whether they are all in order.
(() => {
  const original = wrLog;
  wrLog = (line) => {
    original(line);
    if (line !== 'KONIEC') return;
    requestAnimationFrame(() => requestAnimationFrame(() => {
      const lines = document.getElementById('log').textContent.split('\n');
      let ordered = true;
      for (let i = 0; i + 2 < lines.length; i++) if (lines[i] !== 'wiersz ' + (i + 1)) ordered = false;
      fetch('http://127.0.0.1:8478/done?lines=' + (lines.length - 1) + '&ordered=' + ordered,
            {mode: 'no-cors'});
    }));
  };
})();
