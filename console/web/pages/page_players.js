// Players: every character, searched and paged by the server; a character's summary, ban or
// unban, its file shown read-only, and for admins the window's editor.
'use strict';

(function () {
  const el = Helm.el;
  const kPageSize = 50;
  let root = null;
  let filter = '';
  let offset = 0;
  let matched = 0;
  let rows = [];
  let selected = '';
  let request = 0;  // the newest page asked for; older answers are dropped

  function render(section) {
    root = section;
    offset = 0;
    rows = [];
    selected = '';
    section.append(
      el('div', { class: 'page-head' }, el('h2', {}, 'Players'),
        el('span', { id: 'players-count', class: 'muted' }, '…')),
      el('div', { class: 'form-row list-filter' },
        el('div', { class: 'field grow' },
          el('label', { for: 'player-filter' }, 'Search by name'),
          el('input', {
            id: 'player-filter', type: 'search', autocomplete: 'off', spellcheck: 'false',
            placeholder: 'Part of a name', value: filter, oninput: Helm.debounce(onFilter, 250),
          }))),
      el('div', { class: 'split' },
        el('div', { class: 'split-main' },
          el('div', { class: 'table-wrap' },
            el('table', { id: 'players-table', class: 'cards' },
              el('thead', {}, el('tr', {},
                el('th', {}, 'Name'), el('th', {}, 'Rank'), el('th', {}, 'System'),
                el('th', { class: 'date' }, 'Last saved'), el('th', {}, ''))),
              el('tbody', { onclick: onRowClick, onkeydown: onRowKey }))),
          el('p', { id: 'players-empty', class: 'empty', hidden: true }, 'No character matches.'),
          el('div', { class: 'pager' },
            el('button', { id: 'players-prev', type: 'button', onclick: () => turn(-1) },
              '‹ Previous'),
            el('span', { id: 'players-page', class: 'muted' }),
            el('button', { id: 'players-next', type: 'button', onclick: () => turn(1) },
              'Next ›'))),
        el('aside', { id: 'player-panel', class: 'split-side' },
          el('div', { class: 'panel' },
            el('p', { class: 'empty' }, 'Choose a character to see its summary.')))));
    load();
  }

  function leave() {
    root = null;
    ++request;
  }

  function onFilter(event) {
    filter = event.target.value.trim();
    offset = 0;
    load();
  }

  function turn(direction) {
    const next = offset + direction * kPageSize;
    if (next < 0 || next >= matched) return;
    offset = next;
    load();
  }

  async function load() {
    if (!root) return;
    const mine = ++request;
    const section = root;
    const query = new URLSearchParams({ filter, offset: String(offset), limit: String(kPageSize) });
    try {
      const data = await Helm.api('GET', '/api/players?' + query.toString());
      if (mine !== request || section !== root) return;
      rows = data.players || [];
      matched = data.matched || 0;
      show(data.total || 0);
      section.setAttribute('data-loaded', '1');
    } catch (e) {
      if (mine === request && section === root && e.status !== 401) {
        Helm.toast('The players could not be read: ' + e.message, 'error');
      }
    }
  }

  function show(total) {
    const body = root.querySelector('#players-table tbody');
    const fragment = document.createDocumentFragment();
    for (const player of rows) {
      fragment.append(el('tr', { 'data-name': player.name, tabindex: '0',
        class: 'clickable' + (player.name === selected ? ' selected' : '') },
      el('td', { class: 'name' }, player.name),
      el('td', { class: 'num rank' }, player.rank),
      el('td', { class: 'system' }, player.system || '—'),
      el('td', { class: 'date' }, player.last_saved || '—'),
      el('td', { class: 'actions' },
        player.banned ? el('span', { class: 'badge stopped' }, 'banned') : '')));
    }
    body.replaceChildren(fragment);
    const last = Math.min(offset + rows.length, matched);
    root.querySelector('#players-count').textContent = filter
      ? matched + ' of ' + total + ' characters match'
      : total + ' characters';
    root.querySelector('#players-page').textContent =
      matched ? (offset + 1) + '–' + last + ' of ' + matched : '';
    root.querySelector('#players-prev').disabled = offset === 0;
    root.querySelector('#players-next').disabled = last >= matched;
    root.querySelector('#players-empty').hidden = rows.length > 0;
  }

  function onRowClick(event) {
    const row = event.target.closest('tr[data-name]');
    if (row) choose(row.getAttribute('data-name'));
  }

  function onRowKey(event) {
    if (event.key !== 'Enter' && event.key !== ' ') return;
    const row = event.target.closest('tr[data-name]');
    if (!row) return;
    event.preventDefault();
    choose(row.getAttribute('data-name'));
  }

  async function choose(name) {
    selected = name;
    for (const row of root.querySelectorAll('#players-table tbody tr')) {
      row.classList.toggle('selected', row.getAttribute('data-name') === name);
    }
    const section = root;
    let player = null;
    try {
      player = await Helm.api('GET', '/api/players/' + encodeURIComponent(name));
    } catch (e) {
      if (e.status === 401) return;
      // Without the summary endpoint the page's own record serves.
      player = rows.find((r) => r.name === name) || null;
      if (e.status === 404 && !player) {
        Helm.toast('There is no character ' + name + ' any more.', 'error');
        return;
      }
    }
    if (section !== root || selected !== name || !player) return;
    showSummary(player);
  }

  function fact(label, value) {
    const text = Array.isArray(value) ? value.filter((v) => v).join(', ') : value;
    const empty = text === undefined || text === null || text === '';
    return [el('dt', {}, label), el('dd', {}, empty ? '—' : String(text))];
  }

  function showSummary(player) {
    const panel = root.querySelector('#player-panel');
    const location = [player.location, player.system].filter((v) => v).join(', ');
    // The account's other characters ("characters", or "account" as a list).
    const characters = Array.isArray(player.characters) ? player.characters
      : Array.isArray(player.account) ? player.account : [];
    const sameAccount = characters.filter((n) => n !== player.name);
    const facts = el('dl', { id: 'player-summary', class: 'facts' },
      fact('Name', player.name),
      fact('Rank', player.rank),
      fact('Money', player.money),
      fact('Location', location),
      fact('Kills', player.kills),
      fact('Time played', player.time_played),
      fact('Ship', player.ship),
      fact('Shield', player.shield),
      fact('Generator', player.generator),
      fact('Weapons', player.weapons || []),
      fact('First seen', player.first_seen),
      fact('Last saved', player.last_saved),
      fact('Last read', player.last_read),
      player.online !== undefined ? fact('Online', player.online ? 'yes' : 'no') : null,
      fact('Banned', player.banned
        ? 'until ' + (player.ban_until || 'indefinitely') +
          (player.ban_reason ? ' — ' + player.ban_reason : '')
        : 'no'),
      typeof player.account === 'string'
        ? fact('Account', player.account.split(/[\\/]/).pop()) : null,
      sameAccount.length ? fact('Same account', sameAccount) : null);

    const buttons = [];
    if (!player.banned && Helm.may('ban')) {
      buttons.push(el('button', {
        id: 'player-ban', type: 'button', class: 'danger', 'data-acts': '',
        onclick: () => ban(player.name) }, 'Ban Player'));
    }
    if (player.banned && Helm.may('unban')) {
      buttons.push(el('button', { id: 'player-unban', type: 'button', 'data-acts': '',
        onclick: () => unban(player.name) }, 'Unban Player'));
    }
    buttons.push(el('button', {
      id: 'player-view', type: 'button', onclick: () => view(player.name) },
      'View character'));
    if (Helm.may('administration')) {
      buttons.push(el('button', { id: 'player-edit', type: 'button', 'data-acts': '',
        onclick: () => edit(player.name) }, 'Edit Player'));
    }
    panel.replaceChildren(el('div', { class: 'panel' },
      el('h3', {}, player.name),
      facts,
      el('div', { class: 'button-row' }, buttons),
      el('div', { id: 'player-extra' })));
    // On a narrow screen the summary is below the list: it is brought into view.
    const narrow = window.matchMedia('(max-width: 900px)').matches;
    panel.scrollIntoView({ block: narrow ? 'start' : 'nearest' });
  }

  async function ban(name) {
    const question = 'Ban player ' + name + '? Its end and reason can be set on Bans.';
    if (!await Helm.confirm(question, 'Ban')) return;
    try {
      await Helm.act([
        { verb: 'set', name: 'txtPlayerListFilter', value: '' },
        { verb: 'select', name: 'lstPlayers', value: '=' + name },
        { verb: 'click', name: 'cmdBanToggle', answers: ['ok'] }]);
      Helm.toast(name + ' was banned.', 'ok');
    } catch (e) {
      // Shown by act.
    }
    refresh(name);
  }

  async function unban(name) {
    if (!await Helm.confirm('Unban player ' + name + '?', 'Unban')) return;
    try {
      await Helm.act(window.HelmBans.unbanSteps(name));
      Helm.toast(name + ' was unbanned.', 'ok');
    } catch (e) {
      // Shown by act.
    }
    refresh(name);
  }

  function refresh(name) {
    if (!root) return;
    load();
    if (selected === name) choose(name);
  }

  async function view(name) {
    const extra = root.querySelector('#player-extra');
    extra.replaceChildren(el('p', { class: 'muted' }, 'Reading the character…'));
    try {
      const data = await Helm.api('GET', '/api/players/' + encodeURIComponent(name) + '/character');
      if (!root || selected !== name) return;
      const view = el('div', { id: 'character-view', class: 'character-view' });
      for (const part of data.sections || []) {
        view.append(el('h4', {}, part.title || ''),
          el('dl', { class: 'facts' },
            (part.rows || []).map((row) => fact(row.label || '', row.value))));
      }
      if (!(data.sections || []).length) {
        view.append(el('p', { class: 'empty' }, 'The file holds nothing to show.'));
      }
      extra.replaceChildren(view);
    } catch (e) {
      if (e.status === 401 || !root) return;
      extra.replaceChildren(el('div', { id: 'character-view', class: 'notice' },
        e.status === 404 ? 'The character\'s file cannot be shown here.'
          : 'The character could not be read: ' + e.message));
    }
  }

  // The window asks twice before its editor opens: whether to edit at all, and (while the
  // server runs) whether to ban the character for the edit. Both are asked here at once.
  async function edit(name) {
    const question = 'Edit ' + name + '? Editing may harm the character\'s file; nothing is ' +
      'written until the editor\'s Save Changes. While the server runs, ' + name + ' is banned ' +
      'for the edit (and kicked if online), and the console waits until the editor is closed.';
    if (!await Helm.confirm(question, 'Edit')) return;
    try {
      await Helm.act([
        { verb: 'set', name: 'txtPlayerListFilter', value: '' },
        { verb: 'select', name: 'lstPlayers', value: '=' + name },
        { verb: 'click', name: 'cmdEditPlayer', answers: ['ok', 'ok'] }]);
    } catch (e) {
      return;
    }
    const status = await Helm.api('GET', '/api/status').catch(() => ({}));
    if (!status.editor) {
      Helm.toast('The editor did not open for ' + name + '.', 'error');
      return;
    }
    if (!root || selected !== name) return;
    root.querySelector('#player-extra').replaceChildren(el('div', { class: 'panel inner' },
      el('p', {}, 'The editor is open for ' + name + '. Its fields are on the Advanced ' +
        'page; the console waits while it is open, so close it when you are done.'),
      el('a', { href: '#/advanced', class: 'button-link' }, 'Open the editor on Advanced')));
  }

  Helm.registerPage('players', { title: 'Players', order: 30, render, leave });
})();
