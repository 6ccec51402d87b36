// Dashboard: the server's state with Start/Stop, the players online, the console's times
// (uptime, the next online update, unban check, banner and maintenance) and the last crashes.
'use strict';

(function () {
  const el = Helm.el;
  let timer = null;
  let root = null;
  let haveDashboard = true;  // false once /api/dashboard answered 404: status and crashes instead
  let lastState = null;
  let busy = false;

  function render(section) {
    root = section;
    haveDashboard = true;
    lastState = null;
    const toggle = Helm.may('administration')
      ? el('button', { id: 'server-toggle', type: 'button', class: 'primary', 'data-acts': '',
        onclick: toggleServer }, 'Start Server')
      : null;
    section.append(
      el('div', { class: 'page-head' }, el('h2', {}, 'Dashboard')),
      el('div', { id: 'crash-budget', class: 'notice', hidden: true },
        'The server crashed too often: the console waits before it starts it again.'),
      el('div', { class: 'grid' },
        el('div', { class: 'stat' },
          el('div', { class: 'label' }, 'Server'),
          el('div', { class: 'value' }, el('span', { id: 'server-state', class: 'badge' }, '…')),
          toggle ? el('div', { class: 'stat-action' }, toggle) : null),
        el('div', { class: 'stat' },
          el('div', { class: 'label' }, 'Players online'),
          el('div', { id: 'players-online-count', class: 'value' }, '…'),
          el('a', { href: '#/online' }, 'See who is online')),
        el('div', { class: 'stat' },
          el('div', { class: 'label' }, 'The console is'),
          el('div', { id: 'dashboard-status', class: 'value small' }, '…'))),
      el('div', { class: 'panel' },
        el('h3', {}, 'Times'),
        el('dl', { id: 'dashboard-times', class: 'facts' })),
      el('div', { class: 'panel' },
        el('h3', {}, 'Last crashes'),
        el('ul', { id: 'crash-list', class: 'plain-list' })));
    Helm.on('state', onState);
    refresh();
    timer = setInterval(refresh, 5000);
  }

  function leave() {
    Helm.off('state', onState);
    clearInterval(timer);
    timer = null;
    root = null;
  }

  async function refresh() {
    if (!root) return;
    const section = root;
    try {
      if (haveDashboard) {
        try {
          const data = await Helm.api('GET', '/api/dashboard');
          if (section !== root) return;
          showState(data);
          showTimes(data.times || []);
          showCrashes(data.crashes || []);
        } catch (e) {
          if (e.status !== 404) throw e;
          haveDashboard = false;
        }
      }
      if (!haveDashboard) {
        const [status, crashes] = await Promise.all([
          Helm.api('GET', '/api/status'),
          Helm.api('GET', '/api/crashes').catch(() => ({ reply: [] }))]);
        if (section !== root) return;
        showState(status);
        showTimes([]);
        const names = Array.isArray(crashes.reply) ? crashes.reply : [];
        showCrashes(names.slice(0, 5));
      }
      section.setAttribute('data-loaded', '1');
    } catch (e) {
      if (e.status === 401 || section !== root) return;
      document.getElementById('dashboard-status').textContent = 'Could not be read: ' + e.message;
      section.setAttribute('data-loaded', '1');
    }
  }

  function onState(state) {
    if (root) showState(state);
  }

  // From /api/dashboard, /api/status or a "state" event: the same names.
  function showState(state) {
    lastState = Object.assign({}, lastState || {}, state);
    const server = lastState.server || 'unknown';
    const badge = document.getElementById('server-state');
    badge.textContent = server;
    badge.className = 'badge ' +
      (server === 'running' ? 'running' : server === 'stopped' ? 'stopped' : 'other');
    if ('players_online' in state) {
      document.getElementById('players-online-count').textContent = String(state.players_online);
    }
    if ('status' in state) {
      document.getElementById('dashboard-status').textContent = state.status || '—';
    }
    document.getElementById('crash-budget').hidden = !lastState.crash_budget_spent;
    const toggle = document.getElementById('server-toggle');
    if (toggle && !busy) {
      toggle.textContent = server === 'running' ? 'Stop Server' : 'Start Server';
      toggle.className = server === 'running' ? 'danger' : 'primary';
    }
  }

  function showTimes(times) {
    const list = document.getElementById('dashboard-times');
    list.replaceChildren();
    for (const time of times) {
      list.append(el('dt', {}, time.label || ''), el('dd', {}, time.value || '—'));
    }
    if (!times.length) list.append(el('dd', { class: 'empty' }, 'No times to show.'));
  }

  function showCrashes(crashes) {
    const list = document.getElementById('crash-list');
    list.replaceChildren();
    for (const name of crashes) list.append(el('li', { class: 'mono' }, String(name)));
    if (!crashes.length) list.append(el('li', { class: 'empty' }, 'No crashes recorded.'));
  }

  async function toggleServer() {
    const button = document.getElementById('server-toggle');
    const stopping = (lastState && lastState.server) === 'running';
    const ok = await Helm.confirm(stopping
      ? 'Stop the server? Every player online is disconnected.'
      : 'Start the server?', stopping ? 'Stop Server' : 'Start Server');
    if (!ok) return;
    busy = true;
    button.disabled = true;
    button.textContent = stopping ? 'Stopping…' : 'Starting…';
    try {
      await Helm.act([{ verb: 'click', name: 'cmdToggleServer', answers: ['ok', 'ok'] }]);
      Helm.toast(stopping ? 'The server is stopping.' : 'The server is starting.', 'ok');
    } catch (e) {
      // Shown by act.
    } finally {
      busy = false;
      button.disabled = false;
      refresh();
    }
  }

  Helm.registerPage('dashboard', { title: 'Dashboard', order: 10, render, leave });
})();
