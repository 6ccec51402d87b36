// The Logs page: the server activity, player activity and HELM error logs, live through the
// event stream, with a filter over the loaded lines, a download of the whole log and, for
// admins, the window's Clear.
(function () {
  'use strict';

  const LOGS = [
    {key: 'server', title: 'Server Activity', clear: 'cmdClearServerActivityLog',
     file: 'server-activity-log.txt'},
    {key: 'player', title: 'Player Activity', clear: 'cmdClearPlayerActivityLog',
     file: 'player-activity-log.txt'},
    {key: 'error', title: 'HELM Errors', clear: 'cmdClearHELMErrorLog',
     file: 'helm-error-log.txt'},
  ];
  // The newest lines kept in the page; older ones are in the download.
  const KEEP = 5000;
  // Beyond any log's length: the reply then holds no line, only the total.
  const END = 999999999999;

  let stopLive = null;
  let downloadUrl = null;

  function render(root) {
    const P = window.HelmPages2;
    let current = LOGS[0];
    let lines = [];          // the newest KEEP lines of the current log
    let loading = 0;         // a load's number: replies of an older load are dropped
    let missed = false;      // a live line came while loading

    const tabs = Helm.el('div', {class: 'p2-tabs', role: 'tablist'});
    for (const log of LOGS) {
      const button = Helm.el('button', {type: 'button', 'data-log': log.key, role: 'tab'},
                             log.title);
      button.addEventListener('click', () => choose(log));
      tabs.append(button);
    }
    const filter = Helm.el('input', {type: 'search', id: 'log-filter', class: 'p2-input',
                                     placeholder: 'Filter the lines'});
    filter.setAttribute('aria-label', 'Filter the lines');
    const download = Helm.el('a', {id: 'log-download', href: '#', class: 'p2-button'}, 'Download');
    const count = Helm.el('span', {id: 'log-count', class: 'muted'});
    const tools = Helm.el('div', {class: 'p2-toolbar'}, filter, download);
    let clear = null;
    if (P.mayAct('click', current.clear)) {
      clear = Helm.el('button', {type: 'button', id: 'log-clear', 'data-acts': ''}, 'Clear');
      clear.addEventListener('click', clearLog);
      tools.append(clear);
    }
    tools.append(count);
    const box = Helm.el('div', {id: 'log-lines', class: 'p2-log', role: 'log',
                                'aria-live': 'off'});
    root.append(Helm.el('h2', {}, 'Logs'), tabs, tools, box);

    function matches(line) {
      const wanted = filter.value.trim().toLowerCase();
      return !wanted || line.toLowerCase().indexOf(wanted) >= 0;
    }

    function lineElement(line) {
      return Helm.el('div', {class: 'log-line'}, line);
    }

    function atBottom() {
      return box.scrollHeight - box.scrollTop - box.clientHeight < 40;
    }

    function showCount() {
      const shown = box.childElementCount;
      count.textContent = shown === lines.length ? lines.length + ' lines'
                                                 : shown + ' of ' + lines.length + ' lines';
    }

    function showAll() {
      const fragment = document.createDocumentFragment();
      for (const line of lines) {
        if (matches(line)) fragment.append(lineElement(line));
      }
      box.replaceChildren(fragment);
      box.scrollTop = box.scrollHeight;
      showCount();
    }

    function append(line) {
      const stick = atBottom();
      lines.push(line);
      if (lines.length > KEEP) {
        const dropped = lines.shift();
        const first = box.firstElementChild;
        if (first && first.textContent === dropped) first.remove();
      }
      if (matches(line)) box.append(lineElement(line));
      while (box.childElementCount > KEEP) box.firstElementChild.remove();
      if (stick) box.scrollTop = box.scrollHeight;
      showCount();
    }

    async function read(log, from) {
      return Helm.api('GET', '/api/logs/' + log.key + '?from=' + from);
    }

    // The newest KEEP lines, page by page; again from where it ended while live lines came.
    async function load() {
      const mine = ++loading;
      const log = current;
      missed = false;
      const head = await read(log, END);
      let from = Math.max(0, head.total - KEEP);
      const got = [];
      for (;;) {
        const page = await read(log, from);
        if (mine !== loading) return;
        got.push(...page.lines);
        if (page.lines.length === 0 || page.next >= page.total) {
          from = page.next;
          if (!missed) break;
          missed = false;  // lines came meanwhile: they are read from the log itself
        } else {
          from = page.next;
        }
      }
      if (mine !== loading) return;
      lines = got.slice(-KEEP);
      loading = 0;
      showAll();
      root.setAttribute('data-loaded', '1');
    }

    function choose(log) {
      current = log;
      for (const button of tabs.querySelectorAll('button[data-log]')) {
        const on = button.dataset.log === log.key;
        button.classList.toggle('p2-active', on);
        button.setAttribute('aria-selected', on ? 'true' : 'false');
      }
      lines = [];
      box.replaceChildren(Helm.el('div', {class: 'muted'}, 'Loading…'));
      load().catch((error) => {
        box.replaceChildren(Helm.el('div', {class: 'notice'},
            'The log could not be read: ' + ((error && error.message) || 'error')));
      });
    }

    async function clearLog() {
      clear.disabled = true;
      try {
        await P.act([{verb: 'click', name: current.clear}]);
      } catch (error) {
        // the toast told why
      }
      clear.disabled = false;
    }

    // The whole log, read page by page, as a text file named after it.
    download.addEventListener('click', async (event) => {
      if (download.dataset.ready === '1') {
        download.dataset.ready = '';
        return;  // the browser saves the file
      }
      event.preventDefault();
      const log = current;
      try {
        const all = [];
        let from = 0;
        for (;;) {
          const page = await read(log, from);
          all.push(...page.lines);
          if (page.lines.length === 0 || page.next >= page.total) break;
          from = page.next;
        }
        if (downloadUrl) URL.revokeObjectURL(downloadUrl);
        downloadUrl = URL.createObjectURL(
            new Blob([all.join('\r\n') + (all.length ? '\r\n' : '')], {type: 'text/plain'}));
        download.href = downloadUrl;
        download.download = log.file;
        download.dataset.ready = '1';
        download.click();
        download.href = '#';
      } catch (error) {
        Helm.toast('The log could not be read: ' + ((error && error.message) || 'error'),
                   'error');
      }
    });

    filter.addEventListener('input', showAll);

    const onLine = (data) => {
      if (!data || data.log !== current.key) return;
      if (loading) {
        missed = true;
        return;
      }
      append(String(data.line));
    };
    const onCleared = (data) => {
      if (!data || data.log !== current.key) return;
      if (loading) {
        choose(current);  // the load under way read lines that are gone
        return;
      }
      lines = [];
      showAll();
    };
    Helm.on('log', onLine);
    Helm.on('log-cleared', onCleared);
    stopLive = () => {
      Helm.off('log', onLine);
      Helm.off('log-cleared', onCleared);
    };

    choose(current);
  }

  function leave() {
    if (stopLive) stopLive();
    stopLive = null;
  }

  Helm.registerPage('logs', {title: 'Logs', order: 50, render: render, leave: leave});
})();
