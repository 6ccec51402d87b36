// Bans: the banned characters with their ban's end and reason, kept up to date from the event
// stream; set an end and a reason, unban, and "Check Now" for bans that have run out.
'use strict';

(function () {
  const el = Helm.el;
  let root = null;
  let banned = [];
  let editing = '';
  let fetching = false;
  let again = false;

  // The steps that give the banned character name its end (date "YYYY-MM-DD" and hour 0-23,
  // or no date: indefinitely) and its reason, on the Bans tab's controls. The window's list
  // filter is cleared first so that the row is there to select.
  function banDetailSteps(name, date, hour, reason) {
    const steps = [
      { verb: 'set', name: 'txtBannedPlayerListFilter', value: '' },
      { verb: 'select', name: 'lstBannedPlayers', value: '=' + name }];
    if (date) {
      steps.push(
        { verb: 'check', name: 'optBanDuration_1', value: '1' },
        { verb: 'set', name: 'calBanUntilDate', value: date },
        { verb: 'select', name: 'cmbBanUntilTime', value: String(Number(hour) || 0) },
        { verb: 'click', name: 'cmdSetUnbanTime', answers: ['ok'] });
    } else {
      steps.push({ verb: 'check', name: 'optBanDuration_0', value: '1' });
    }
    steps.push(
      { verb: 'set', name: 'txtBanReason', value: reason },
      { verb: 'click', name: 'cmdSetBanReason', answers: ['ok'] });
    return steps;
  }

  // The steps that lift the ban of name's account, from wherever the page stands.
  function unbanSteps(name) {
    return [
      { verb: 'set', name: 'txtBannedPlayerListFilter', value: '' },
      { verb: 'select', name: 'lstBannedPlayers', value: '=' + name },
      { verb: 'click', name: 'cmdUnbanPlayer', answers: ['ok'] }];
  }

  // The options of a ban's end hour, 00:00 to 23:00.
  function hourOptions() {
    const options = [];
    for (let h = 0; h < 24; ++h) {
      options.push(el('option', { value: String(h) }, String(h).padStart(2, '0') + ':00'));
    }
    return options;
  }
  window.HelmBans = { banDetailSteps, unbanSteps, hourOptions };

  function render(section) {
    root = section;
    banned = [];
    editing = '';
    const head = el('div', { class: 'page-head' },
      el('h2', {}, 'Bans'),
      el('span', { id: 'bans-count', class: 'badge' }, '…'),
      el('span', { id: 'ban-next-check', class: 'muted' }));
    if (Helm.may('unban')) {
      head.append(el('button', {
        id: 'check-now', type: 'button', 'data-acts': '', onclick: checkNow,
        title: 'Unban every player whose ban has run out' }, 'Check Now'));
    }
    section.append(head);
    if (Helm.may('ban')) section.append(editForm());
    section.append(
      el('div', { class: 'form-row list-filter' },
        el('div', { class: 'field grow' },
          el('label', { for: 'bans-filter' }, 'Find a banned character'),
          el('input', { id: 'bans-filter', type: 'search', autocomplete: 'off',
            oninput: Helm.debounce(show, 150) }))),
      el('div', { class: 'table-wrap' },
        el('table', { id: 'bans-table', class: 'cards' },
          el('thead', {}, el('tr', {},
            el('th', {}, 'Name'), el('th', {}, 'Banned until'), el('th', {}, 'Reason'),
            Helm.may('ban') || Helm.may('unban') ? el('th', { class: 'actions' }, '') : null)),
          el('tbody', {}))),
      el('p', { id: 'bans-empty', class: 'empty', hidden: true }, 'Nobody is banned.'));
    Helm.on('ban', onChange);
    Helm.on('unban', onChange);
    Helm.on('journal', onJournal);
    load();
  }

  function leave() {
    Helm.off('ban', onChange);
    Helm.off('unban', onChange);
    Helm.off('journal', onJournal);
    root = null;
  }

  const onChange = Helm.debounce(() => { if (root) load(); }, 200);
  function onJournal(entry) {
    if (entry && (entry.action === 'ban-end' || entry.action === 'ban-reason')) onChange();
  }

  function editForm() {
    return el('form', { id: 'ban-edit-form', class: 'panel', hidden: true, onsubmit: saveEdit },
      el('h3', { id: 'ban-edit-title' }, 'Ban'),
      el('div', { class: 'form-row' },
        el('div', { class: 'field' },
          el('label', { for: 'ban-edit-date' }, 'Banned until (empty: indefinitely)'),
          el('input', { id: 'ban-edit-date', type: 'date' })),
        el('div', { class: 'field' },
          el('label', { for: 'ban-edit-hour' }, 'Hour'),
          el('select', { id: 'ban-edit-hour' }, hourOptions())),
        el('div', { class: 'field grow' },
          el('label', { for: 'ban-edit-reason' }, 'Reason'),
          el('input', { id: 'ban-edit-reason', maxlength: '200', autocomplete: 'off' }))),
      el('div', { class: 'form-row form-buttons' },
        el('button', { id: 'ban-edit-save', type: 'submit', class: 'primary', 'data-acts': '' },
          'Save'),
        el('button', { id: 'ban-edit-cancel', type: 'button', onclick: closeEdit }, 'Cancel')));
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
      const [data, next] = await Promise.all([
        Helm.api('GET', '/api/banned'),
        Helm.control('lblPlayerBanNextCheck').catch(() => null)]);
      if (section !== root) return;
      banned = data.players || [];
      const label = next && next.reply && next.reply.text;
      root.querySelector('#ban-next-check').textContent = label || '';
      show();
      section.setAttribute('data-loaded', '1');
    } catch (e) {
      if (section === root && e.status !== 401) {
        Helm.toast('The banned list could not be read: ' + e.message, 'error');
      }
    } finally {
      fetching = false;
      if (again && section === root) {
        again = false;
        load();
      }
    }
  }

  function show() {
    if (!root) return;
    const mayBan = Helm.may('ban');
    const mayUnban = Helm.may('unban');
    const wanted = root.querySelector('#bans-filter').value.trim().toLowerCase();
    const rows = document.createDocumentFragment();
    let shown = 0;
    for (const player of banned) {
      if (wanted && !player.name.toLowerCase().includes(wanted) &&
          !(player.ban_reason || '').toLowerCase().includes(wanted)) continue;
      ++shown;
      const actions = [];
      if (mayBan) {
        actions.push(el('button', {
          type: 'button', class: 'small', 'data-action': 'edit', 'data-acts': '',
          onclick: () => openEdit(player) }, 'Edit'));
      }
      if (mayUnban) {
        actions.push(el('button', {
          type: 'button', class: 'small', 'data-action': 'unban', 'data-acts': '',
          onclick: () => unban(player.name) }, 'Unban'));
      }
      const chosen = player.name === editing ? 'selected' : '';
      rows.append(el('tr', { 'data-name': player.name, class: chosen },
        el('td', { class: 'name' }, player.name),
        el('td', {}, player.ban_until || 'indefinitely'),
        el('td', {}, player.ban_reason || ''),
        actions.length ? el('td', { class: 'actions' }, actions) : null));
    }
    root.querySelector('#bans-table tbody').replaceChildren(rows);
    root.querySelector('#bans-count').textContent = banned.length + ' banned';
    const empty = root.querySelector('#bans-empty');
    empty.textContent = banned.length ? 'No banned character matches.' : 'Nobody is banned.';
    empty.hidden = shown > 0;
  }

  function openEdit(player) {
    editing = player.name;
    const form = root.querySelector('#ban-edit-form');
    root.querySelector('#ban-edit-title').textContent = 'The ban of ' + player.name;
    // "YYYY-MM-DD HH:00" or empty.
    const until = (player.ban_until || '').match(/^(\d{4}-\d{2}-\d{2}) (\d{2})/);
    root.querySelector('#ban-edit-date').value = until ? until[1] : '';
    root.querySelector('#ban-edit-hour').value = until ? String(Number(until[2])) : '0';
    root.querySelector('#ban-edit-reason').value = player.ban_reason || '';
    form.hidden = false;
    show();
    form.scrollIntoView({ block: 'nearest' });
    root.querySelector('#ban-edit-date').focus();
  }

  function closeEdit() {
    editing = '';
    const form = root && root.querySelector('#ban-edit-form');
    if (form) form.hidden = true;
    show();
  }

  async function saveEdit(event) {
    event.preventDefault();
    const name = editing;
    if (!name) return;
    const button = root.querySelector('#ban-edit-save');
    button.disabled = true;
    try {
      await Helm.act(banDetailSteps(name, root.querySelector('#ban-edit-date').value,
        root.querySelector('#ban-edit-hour').value,
        root.querySelector('#ban-edit-reason').value.trim()));
      Helm.toast('The ban of ' + name + ' was saved.', 'ok');
      closeEdit();
    } catch (e) {
      // Shown by act.
    } finally {
      if (button.isConnected) button.disabled = false;
    }
    load();
  }

  async function unban(name) {
    if (!await Helm.confirm('Unban ' + name + '?', 'Unban')) return;
    try {
      await Helm.act(unbanSteps(name));
      Helm.toast(name + ' was unbanned.', 'ok');
      if (editing === name) closeEdit();
    } catch (e) {
      // Shown by act.
    }
    load();
  }

  async function checkNow() {
    const button = root.querySelector('#check-now');
    button.disabled = true;
    try {
      await Helm.act([{ verb: 'click', name: 'cmdCheckForPlayersToUnban', answers: ['ok'] }]);
      Helm.toast('Checked for bans that have run out.', 'ok');
    } catch (e) {
      // Shown by act.
    } finally {
      if (button.isConnected) button.disabled = false;
    }
    load();
  }

  Helm.registerPage('bans', { title: 'Bans', order: 40, render, leave });
})();
