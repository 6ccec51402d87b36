// Online: the players online (rank, system, ship), kept up to date from the event stream;
// kick, kick and ban with a reason and an end, kick all in a system, and the chat box.
'use strict';

(function () {
  const el = Helm.el;
  const kNotFound = 'PLAYER NOT FOUND :(';
  let root = null;
  let players = [];
  let banTarget = '';
  let shown = null;  // the players last shown, as JSON
  let fetching = false;
  let again = false;

  function render(section) {
    root = section;
    players = [];
    banTarget = '';
    shown = null;
    const mayKick = Helm.may('kick');
    const mayBan = Helm.may('ban');
    const mayChat = Helm.may('chat');

    section.append(el('div', { class: 'page-head' },
      el('h2', {}, 'Players online'),
      el('span', { id: 'online-count', class: 'badge' }, '…'),
      el('span', { id: 'online-updated', class: 'muted' }),
      Helm.may('select')
        ? el('button', { id: 'online-update', type: 'button', 'data-acts': '', onclick: updateNow,
          title: 'Ask the server for the players online now' }, 'Update List')
        : null));

    if (mayBan) section.append(banForm());

    const tools = [];
    if (mayKick) {
      tools.push(el('div', { class: 'panel' },
        el('h3', {}, 'Kick all in a system'),
        el('div', { class: 'form-row' },
          el('div', { class: 'field grow' },
            el('label', { for: 'kick-system' }, 'System'),
            el('select', { id: 'kick-system' })),
          el('button', { id: 'kick-system-submit', type: 'button', class: 'danger', 'data-acts': '',
            onclick: kickSystem }, 'Kick All In System'))));
    }
    if (mayChat) {
      tools.push(el('form', { class: 'panel', id: 'chat-form', onsubmit: sendChat },
        el('h3', {}, 'Chat with the universe'),
        el('div', { class: 'form-row' },
          el('div', { class: 'field grow' },
            el('label', { for: 'chat-text' }, 'Message to every player'),
            el('input', { id: 'chat-text', maxlength: '500', autocomplete: 'off' })),
          el('button', { id: 'chat-send', type: 'submit', class: 'primary', 'data-acts': '' },
            'Send'))));
    }
    if (tools.length) section.append(el('div', { class: 'grid two online-tools' }, tools));

    const head = el('tr', {}, el('th', {}, 'Name'), el('th', {}, 'Rank'), el('th', {}, 'System'),
      el('th', {}, 'Ship'), mayKick || mayBan ? el('th', { class: 'actions' }, '') : null);
    section.append(el('div', { class: 'table-wrap online-list' },
      el('table', { id: 'online-table', class: 'cards' }, el('thead', {}, head), el('tbody', {}))),
    el('p', { id: 'online-empty', class: 'empty', hidden: true }, 'Nobody is online.'));

    Helm.on('online', onOnline);
    load();
  }

  function leave() {
    Helm.off('online', onOnline);
    root = null;
  }

  function banForm() {
    return el('form', { id: 'ban-form', class: 'panel', hidden: true, onsubmit: submitBan },
      el('h3', { id: 'ban-title' }, 'Kick and ban'),
      el('div', { class: 'form-row' },
        el('div', { class: 'field grow' },
          el('label', { for: 'ban-reason' }, 'Reason'),
          el('input', { id: 'ban-reason', maxlength: '200', autocomplete: 'off' })),
        el('div', { class: 'field' },
          el('label', { for: 'ban-until-date' }, 'Banned until (empty: indefinitely)'),
          el('input', { id: 'ban-until-date', type: 'date' })),
        el('div', { class: 'field' },
          el('label', { for: 'ban-until-hour' }, 'Hour'),
          el('select', { id: 'ban-until-hour' }, window.HelmBans.hourOptions()))),
      el('div', { class: 'form-row form-buttons' },
        el('button', { id: 'ban-submit', type: 'submit', class: 'danger', 'data-acts': '' },
          'Kick and Ban'),
        el('button', { id: 'ban-cancel', type: 'button', onclick: closeBanForm }, 'Cancel')));
  }

  // Names come by the stream; ranks, systems and ships by /api/online.
  function onOnline() {
    load();
  }

  async function load() {
    if (!root) return;
    if (fetching) {
      again = true;
      return;
    }
    fetching = true;
    const section = root;
    try {
      const data = await Helm.api('GET', '/api/online');
      if (section !== root) return;
      // Rows are built again only when something in them changed, so that a row stays put
      // under a pointer about to click it.
      const text = JSON.stringify(data.players || []);
      const changed = text !== shown;
      shown = text;
      players = data.players || [];
      show(data.updated || '', changed);
    } catch (e) {
      if (section === root && e.status !== 401) {
        Helm.toast('The online list could not be read: ' + e.message, 'error');
      }
    } finally {
      fetching = false;
      if (again && section === root) {
        again = false;
        load();
      }
    }
  }

  function show(updated, changed) {
    root.querySelector('#online-updated').textContent = updated;
    root.setAttribute('data-loaded', '1');
    if (!changed) return;
    const mayKick = Helm.may('kick');
    const mayBan = Helm.may('ban');
    const body = root.querySelector('#online-table tbody');
    const rows = document.createDocumentFragment();
    for (const player of players) {
      const actions = [];
      if (mayKick) {
        actions.push(el('button', {
          type: 'button', class: 'small', 'data-action': 'kick', 'data-acts': '',
          onclick: () => kick(player.name) }, 'Kick'));
      }
      if (mayBan) {
        actions.push(el('button', {
          type: 'button', class: 'small danger', 'data-action': 'kickban', 'data-acts': '',
          onclick: () => openBanForm(player.name) }, 'Kick and Ban'));
      }
      const system = player.system === kNotFound ? '' : player.system;
      rows.append(el('tr', { 'data-name': player.name },
        el('td', { class: 'name' }, player.name),
        el('td', { class: 'num rank' }, player.rank),
        el('td', { class: 'system' }, system || '—'),
        el('td', { class: 'ship' }, player.ship || '—'),
        actions.length ? el('td', { class: 'actions' }, actions) : null));
    }
    body.replaceChildren(rows);
    root.querySelector('#online-count').textContent = players.length + ' online';
    root.querySelector('#online-empty').hidden = players.length > 0;
    const systems = root.querySelector('#kick-system');
    if (systems) {
      const wanted = systems.value;
      const names = [...new Set(players.map((p) => p.system)
        .filter((s) => s && s !== kNotFound))].sort();
      systems.replaceChildren(...names.map((name) => el('option', { value: name }, name)));
      if (names.includes(wanted)) systems.value = wanted;
      root.querySelector('#kick-system-submit').disabled = names.length === 0;
    }
  }

  async function updateNow() {
    const button = root.querySelector('#online-update');
    button.disabled = true;
    try {
      await Helm.act([{ verb: 'click', name: 'cmdUpdatePlayersOnline', answers: ['ok'] }]);
    } catch (e) {
      // Shown by act.
    } finally {
      if (button.isConnected) button.disabled = false;
    }
    load();
  }

  async function kick(name) {
    if (!await Helm.confirm('Kick player ' + name + '?', 'Kick')) return;
    try {
      await Helm.act([
        { verb: 'select', name: 'lstPlayersOnline', value: '=' + name },
        { verb: 'click', name: 'cmdKickPlayer', answers: ['ok'] }]);
      Helm.toast(name + ' was kicked.', 'ok');
    } catch (e) {
      // Shown by act.
    }
    load();
  }

  function openBanForm(name) {
    banTarget = name;
    const form = root.querySelector('#ban-form');
    root.querySelector('#ban-title').textContent = 'Kick and ban ' + name;
    form.hidden = false;
    form.scrollIntoView({ block: 'nearest' });
    root.querySelector('#ban-reason').focus();
  }

  function closeBanForm() {
    banTarget = '';
    const form = root && root.querySelector('#ban-form');
    if (!form) return;
    form.hidden = true;
    form.reset();
  }

  // Kicks and bans with the window's Kick and Ban, then gives the ban its end and reason on
  // the Bans tab's controls, as an operator would.
  async function submitBan(event) {
    event.preventDefault();
    const name = banTarget;
    if (!name) return;
    const reason = root.querySelector('#ban-reason').value.trim();
    const date = root.querySelector('#ban-until-date').value;
    const hour = root.querySelector('#ban-until-hour').value;
    const button = root.querySelector('#ban-submit');
    button.disabled = true;
    try {
      await Helm.act([
        { verb: 'select', name: 'lstPlayersOnline', value: '=' + name },
        { verb: 'click', name: 'cmdKickAndBan', answers: ['ok'] }]);
      await Helm.act(window.HelmBans.banDetailSteps(name, date, hour, reason));
      const end = date ? 'until ' + date + ' ' + hour.padStart(2, '0') + ':00' : 'indefinitely';
      Helm.toast(name + ' was kicked and banned ' + end + '.', 'ok');
      closeBanForm();
    } catch (e) {
      // Shown by act.
    } finally {
      if (button.isConnected) button.disabled = false;
    }
    load();
  }

  async function kickSystem() {
    const system = root.querySelector('#kick-system').value;
    if (!system) return;
    const count = players.filter((p) => p.system === system).length;
    const question = 'Kick the ' + count + ' players in system ' + system + '?';
    if (!await Helm.confirm(question, 'Kick all')) return;
    try {
      await Helm.act([
        { verb: 'select', name: 'lstPlayersOnlineSystems', value: '=' + system },
        { verb: 'click', name: 'cmdKickAllInSystem', answers: ['ok'] }]);
      Helm.toast('The players in ' + system + ' were kicked.', 'ok');
    } catch (e) {
      // Shown by act.
    }
    load();
  }

  async function sendChat(event) {
    event.preventDefault();
    const input = root.querySelector('#chat-text');
    const text = input.value.trim();
    if (!text) return;
    const button = root.querySelector('#chat-send');
    button.disabled = true;
    try {
      await Helm.act([
        { verb: 'set', name: 'txtChatText', value: text },
        { verb: 'click', name: 'cmdSend', answers: ['ok'] }]);
      Helm.toast('Sent to the universe.', 'ok');
      input.value = '';
    } catch (e) {
      // Shown by act.
    } finally {
      if (button.isConnected) button.disabled = false;
    }
  }

  Helm.registerPage('online', { title: 'Online', order: 20, render, leave });
})();
