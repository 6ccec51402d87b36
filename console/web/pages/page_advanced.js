// The Advanced page: every control of the main window (and of the player editor while it is
// open), grouped by tab and drawn by kind, so that nothing the window can do is out of reach.
//
// It also holds what the Logs, Rules and Banners pages share (window.HelmPages2): acting on the
// window's controls with the questions a click raises asked in the page, the controls' values
// read in one request, and what a role may do to a control.
(function () {
  'use strict';

  // ---------------------------------------------------------------------------------------
  // Shared helpers.

  // The controls a moderator may act on, by what they do; every other control of the main
  // window is administration, and so is every control of another window.
  const CONTROL_PERMISSIONS = {
    cmdKickPlayer: 'kick', cmdKickAllInSystem: 'kick', txtKickMessagePart2: 'kick',
    cmdKickAndBan: 'ban', cmdBanToggle: 'ban', optBanDuration_0: 'ban', optBanDuration_1: 'ban',
    calBanUntilDate: 'ban', cmbBanUntilTime: 'ban', txtBanReason: 'ban', cmdSetUnbanTime: 'ban',
    cmdSetBanReason: 'ban', cmdUnbanPlayer: 'unban', cmdCheckForPlayersToUnban: 'unban',
    txtChatText: 'chat', cmdSend: 'chat', cmdDisplayTimedBannerNow: 'banners',
    txtPlayerListFilter: 'select', txtBannedPlayerListFilter: 'select',
    chkDisplayOnlyNamesForThisPlayer: 'select', chkDisplayOnlyNamesForThisBannedPlayer: 'select',
    cmdViewInfo: 'select', cmdViewBannedPlayerInfo: 'select', cmdUpdatePlayersOnline: 'select',
    cmdUpdatePlayerInfo: 'select',
  };

  // The permission a verb (set, check, select, click) on the control needs.
  function permissionOf(verb, name) {
    if (name.startsWith('frmMain.')) name = name.slice('frmMain.'.length);
    if (name.indexOf('.') >= 0) return 'administration';
    if (verb === 'select' &&
        (name.startsWith('lst') || name === 'SSTab1' || name.startsWith('tabs'))) {
      return 'select';
    }
    return CONTROL_PERMISSIONS[name] || 'administration';
  }

  function mayAct(verb, name) {
    return Helm.may(permissionOf(verb, name));
  }

  // The parsed reply of a request that failed, where the shell kept it.
  function bodyOf(error) {
    return (error && (error.body || error.data || error.reply)) || null;
  }

  function resultsOf(body) {
    if (!body) return [];
    if (Array.isArray(body.results)) return body.results;
    return body.reply !== undefined ? [body] : [];
  }

  function dialogsOf(result) {
    const reply = result && result.reply;
    return reply && Array.isArray(reply.dialogs) ? reply.dialogs : [];
  }

  // The first question of the last step that found no answer in the request.
  function unansweredQuestion(body) {
    const results = resultsOf(body);
    const last = results[results.length - 1];
    return dialogsOf(last).find(
        (d) => d.kind === 'question' && d.by !== '--answer' && d.by !== 'on screen') || null;
  }

  function refusalText(error, body) {
    const results = resultsOf(body);
    const last = results[results.length - 1];
    if (last && last.error) return last.error;
    if (body && typeof body.error === 'string' && body.error) return body.error;
    return (error && error.message) || 'the request failed';
  }

  // Carries out steps (POST /api/steps). A question the last step raises without an answer is
  // put to the user in the page's modal and the steps are sent again with the answers given so
  // far; Cancel ends there (the window took Cancel for the question already). Messages the
  // window showed become toasts. Resolves with the reply, or null when the user cancelled;
  // rejects (after a toast) when the console refused. doneText, when given, is the toast of
  // success in the operator's words instead of the request layer's reply.
  async function act(steps, doneText) {
    const answers = [];
    for (let round = 0; round < 10; ++round) {
      const last = Object.assign({}, steps[steps.length - 1]);
      if (answers.length) last.answers = answers.slice();
      const sent = steps.slice(0, -1).concat([last]);
      let body = null;
      let failure = null;
      try {
        body = await Helm.api('POST', '/api/steps', {steps: sent});
      } catch (error) {
        failure = error;
        body = bodyOf(error);
      }
      const question = unansweredQuestion(body);
      if (question) {
        const text = (question.title ? question.title + '\n\n' : '') + question.text;
        if (!(await Helm.confirm(text))) return null;
        answers.push('ok');
        continue;
      }
      if (failure) {
        if (failure.status === 401) throw failure;  // the shell shows the login
        Helm.toast(refusalText(failure, body), 'error');
        throw failure;
      }
      let told = false;
      for (const result of resultsOf(body)) {
        for (const dialog of dialogsOf(result)) {
          if (dialog.kind === 'message') {
            Helm.toast((dialog.title ? dialog.title + ': ' : '') + dialog.text, 'ok');
            told = true;
          }
        }
      }
      if (!told) {
        const results = resultsOf(body);
        const done = results.length && results[results.length - 1].reply &&
                     results[results.length - 1].reply.done;
        Helm.toast(doneText || done || 'done', 'ok');
      }
      return body;
    }
    Helm.toast('too many questions: nothing more was sent', 'error');
    return null;
  }

  // Every control by name, as GET /api/controls lists them (no rows: row_count).
  async function readControls() {
    const list = await Helm.api('GET', '/api/controls');
    const byName = {};
    for (const control of (list && list.controls) || []) byName[control.name] = control;
    return {windows: (list && list.windows) || [], controls: byName,
            ordered: (list && list.controls) || []};
  }

  // The rows of a list or combo box (GET /api/controls/NAME); [] when it cannot be read.
  async function readRows(name) {
    try {
      const control = await Helm.control(name);
      return {rows: (control && control.rows) || [], selected: control ? control.selected : -1};
    } catch (error) {
      return {rows: [], selected: -1};
    }
  }

  // "20261231" as "2026-12-31" for a date input; "" for none.
  function calendarDate(value) {
    const text = String(value || '');
    if (!/^\d{8}$/.test(text)) return '';
    return text.slice(0, 4) + '-' + text.slice(4, 6) + '-' + text.slice(6, 8);
  }

  // A GET that may not be offered by this console: null on 404 or 403.
  async function optional(path) {
    try {
      return await Helm.api('GET', path);
    } catch (error) {
      if (error && (error.status === 404 || error.status === 403 || error.status === 405)) {
        return null;
      }
      throw error;
    }
  }

  // A check box bound to a check-box control: a check box for those who may change it, the
  // word "on" or "off" for those who may not. onDone runs after a change went through.
  function checkField(control, name, caption, onDone) {
    const value = control && control.value === 1;
    const label = caption || (control && control.text) || name;
    if (!mayAct('check', name)) {
      return Helm.el('div', {class: 'p2-field', 'data-control': name},
          Helm.el('span', {class: value ? 'p2-on' : 'p2-off'}, value ? 'on' : 'off'),
          Helm.el('span', {class: 'p2-caption'}, label));
    }
    const box = Helm.el('input', {type: 'checkbox', 'data-acts': '', 'data-control': name});
    box.checked = value;
    box.disabled = !!control && !control.enabled;
    box.addEventListener('change', async () => {
      const wanted = box.checked;
      box.disabled = true;
      try {
        await act([{verb: 'check', name: name, value: wanted ? '1' : '0'}]);
      } catch (error) {
        // the toast told why
      }
      if (onDone) {
        onDone();
      } else {
        box.disabled = false;
      }
    });
    return Helm.el('label', {class: 'p2-field'}, box,
                   Helm.el('span', {class: 'p2-caption'}, label));
  }

  // A text box or a scroll bar's number with a Set button, or its value as text.
  function setField(control, name, caption, options) {
    options = options || {};
    const isNumber = control && control.kind === 'scrollbar';
    const current = isNumber ? String(control.value) : ((control && control.text) || '');
    const head = Helm.el('span', {class: 'p2-caption'}, caption === undefined ? name : caption);
    if (!mayAct('set', name)) {
      return Helm.el('div', {class: 'p2-field p2-set', 'data-control': name}, head,
          Helm.el('span', {class: 'p2-value'}, current === '' ? '(empty)' : current));
    }
    const input = Helm.el('input', {type: isNumber ? 'number' : 'text', class: 'p2-input'});
    if (isNumber) {
      input.min = String(control.minimum);
      input.max = String(control.maximum);
    }
    if (options.id) input.id = options.id;
    input.value = current;
    input.setAttribute('aria-label', caption || name);
    const button = Helm.el('button', {type: 'button', 'data-acts': '', class: 'small'}, 'Set');
    const send = async () => {
      button.disabled = true;
      try {
        await act([{verb: 'set', name: name, value: input.value}],
                  (caption || name) + ': set.');
        if (options.onDone) options.onDone();
      } catch (error) {
        // the toast told why
      }
      button.disabled = false;
    };
    button.addEventListener('click', send);
    input.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') send();
    });
    if (control && !control.enabled) {
      input.disabled = true;
      button.disabled = true;
    }
    return Helm.el('div', {class: 'p2-field p2-set', 'data-control': name}, head,
        Helm.el('span', {class: 'p2-inline'}, input, button));
  }

  // A button that clicks a control (its questions asked), or nothing for a role that may not.
  function clickButton(name, caption, attrs, onDone, before) {
    if (!mayAct('click', name)) return null;
    const button = Helm.el('button', Object.assign({type: 'button', 'data-acts': '',
                                                   'data-control': name}, attrs || {}),
                           caption);
    button.addEventListener('click', async () => {
      button.disabled = true;
      try {
        const steps = (before ? before() : []).concat([{verb: 'click', name: name}]);
        await act(steps, caption + ': done.');
        if (onDone) onDone();
      } catch (error) {
        // the toast told why
      }
      button.disabled = false;
    });
    return button;
  }

  // Calls fn every interval ms while the page is shown; the returned function stops it.
  function every(interval, fn) {
    const timer = setInterval(fn, interval);
    return () => clearInterval(timer);
  }

  window.HelmPages2 = {
    permissionOf, mayAct, act, readControls, readRows, calendarDate, optional, checkField,
    setField, clickButton, every,
  };

  // ---------------------------------------------------------------------------------------
  // The page.

  const ALWAYS = 'Always visible';
  const EDITOR = 'Player editor';
  // Rows beyond this are not put in a select: a row number or =TEXT is typed instead.
  const MAX_LISTED_ROWS = 500;

  // The window's tabs in its own order; the controls above the tabs come first.
  const TAB_ORDER = [ALWAYS, 'Operation', 'Players', 'Bans', 'Banners', 'Web Output',
                     'Configuration', 'Logs'];

  function tabOf(control) {
    if (control.name.indexOf('.') >= 0) return EDITOR;
    return control.tab || ALWAYS;
  }

  function tabRank(tab) {
    const index = TAB_ORDER.indexOf(tab);
    if (index >= 0) return index;
    return tab === EDITOR ? TAB_ORDER.length + 1 : TAB_ORDER.length;
  }

  function valueText(control) {
    switch (control.kind) {
      case 'check':
      case 'option':
        return control.value === 1 ? 'on' : 'off';
      case 'scrollbar':
      case 'progress':
        return control.value + ' (' + control.minimum + ' to ' + control.maximum + ')';
      case 'timer':
        return (control.enabled ? 'running, ' : 'stopped, ') + control.value + ' ms';
      case 'calendar':
        return calendarDate(control.value) || String(control.value);
      case 'list':
      case 'combo':
        return control.row_count + ' rows, selected ' + control.selected;
      default:
        return control.text || '';
    }
  }

  // The widget of one control: what the role may do to it, else its value as text.
  function widget(control, refresh) {
    const name = control.name;
    const box = Helm.el('div', {class: 'p2-widget'});
    const disabled = !control.enabled;
    switch (control.kind) {
      case 'text':
      case 'scrollbar':
        return setField(control, name, '', {onDone: refresh}).lastChild;
      case 'calendar': {
        if (!mayAct('set', name)) break;
        const input = Helm.el('input', {type: 'date', class: 'p2-input'});
        input.value = calendarDate(control.value);
        input.disabled = disabled;
        const set = Helm.el('button', {type: 'button', 'data-acts': '', class: 'small'}, 'Set');
        set.disabled = disabled;
        set.addEventListener('click', () => run([{verb: 'set', name, value: input.value}]));
        box.append(input, set);
        return box;
      }
      case 'check': {
        if (!mayAct('check', name)) break;
        return checkField(control, name, control.text || 'checked', refresh);
      }
      case 'option': {
        if (!mayAct('check', name) || control.value === 1) break;
        const choose = Helm.el('button', {type: 'button', 'data-acts': '', class: 'small'},
                               'Choose');
        choose.disabled = disabled;
        choose.addEventListener('click', () => run([{verb: 'check', name, value: '1'}]));
        box.append(Helm.el('span', {class: 'p2-off'}, 'off'), choose);
        return box;
      }
      case 'list':
      case 'combo': {
        box.append(Helm.el('span', {class: 'p2-value'}, valueText(control)));
        const show = Helm.el('button', {type: 'button', class: 'small'},
                             control.row_count > MAX_LISTED_ROWS ? 'Show first rows' : 'Show rows');
        show.addEventListener('click', async () => {
          show.remove();
          box.append(await rowsWidget(control, refresh));
        });
        if (control.row_count > 0) box.append(show);
        if (control.row_count > MAX_LISTED_ROWS && mayAct('select', name)) {
          box.append(typedSelect(control));
        }
        return box;
      }
      case 'button': {
        const button = clickButton(name, control.text || name, {class: 'small'}, refresh);
        if (!button) break;
        button.disabled = disabled;
        return button;
      }
      default:
        break;
    }
    box.append(Helm.el('span', {class: 'p2-value'}, valueText(control)));
    return box;

    async function run(steps) {
      try {
        await act(steps);
        refresh();
      } catch (error) {
        // the toast told why
      }
    }
  }

  // A list's rows: a select of them for a role that may choose one, else a plain list.
  async function rowsWidget(control, refresh) {
    const {rows, selected} = await readRows(control.name);
    const shown = rows.slice(0, MAX_LISTED_ROWS);
    if (!mayAct('select', control.name)) {
      const list = Helm.el('ol', {class: 'p2-rows', start: '0'});
      for (const row of shown) list.append(Helm.el('li', {}, row));
      return list;
    }
    const select = Helm.el('select', {class: 'p2-input', 'data-acts': ''});
    select.setAttribute('aria-label', control.name);
    select.append(Helm.el('option', {value: ''}, '(choose a row)'));
    shown.forEach((row, index) => {
      const option = Helm.el('option', {value: String(index)}, index + ': ' + row);
      if (index === selected) option.selected = true;
      select.append(option);
    });
    select.disabled = !control.enabled;
    select.addEventListener('change', async () => {
      if (select.value === '') return;
      try {
        await act([{verb: 'select', name: control.name, value: select.value}]);
        refresh();
      } catch (error) {
        // the toast told why
      }
    });
    return select;
  }

  // For a long list: a row number or =TEXT typed in.
  function typedSelect(control) {
    const input = Helm.el('input', {type: 'text', class: 'p2-input',
                                    placeholder: 'row number or =TEXT'});
    input.setAttribute('aria-label', control.name + ' row');
    const button = Helm.el('button', {type: 'button', class: 'small', 'data-acts': ''},
                           'Select');
    button.addEventListener('click', async () => {
      try {
        await act([{verb: 'select', name: control.name, value: input.value}]);
      } catch (error) {
        // the toast told why
      }
    });
    return Helm.el('span', {class: 'p2-inline'}, input, button);
  }

  function controlRow(control, refresh) {
    const caption = control.kind === 'label' || control.kind === 'frame' ? control.text : '';
    const row = Helm.el('div', {class: 'p2-control' + (control.enabled ? '' : ' p2-disabled'),
                                'data-control': control.name, 'data-kind': control.kind},
        Helm.el('div', {class: 'p2-control-name'},
            Helm.el('code', {}, control.name),
            Helm.el('span', {class: 'p2-kind'},
                    control.kind + (control.enabled ? '' : ', disabled'))),
        caption ? Helm.el('div', {class: 'p2-value'}, caption) : widget(control, refresh));
    return row;
  }

  function render(root) {
    let open = new Set();
    const search = Helm.el('input', {type: 'search', id: 'advanced-search', class: 'p2-input',
                                     placeholder: 'Find a control by name or text'});
    search.setAttribute('aria-label', 'Find a control');
    const reload = Helm.el('button', {type: 'button', id: 'advanced-refresh'}, 'Refresh');
    const count = Helm.el('span', {id: 'advanced-count', class: 'muted'});
    const holder = Helm.el('div', {id: 'advanced'});
    root.append(
        Helm.el('h2', {}, 'Advanced'),
        Helm.el('p', {class: 'muted'},
            'Every control of the main window, by tab. What your role may not change is shown ' +
            'as text.'),
        Helm.el('div', {class: 'p2-toolbar'}, search, reload, count),
        holder);

    let all = [];
    let first = true;  // the first tab starts open
    function filterShown() {
      const wanted = search.value.trim().toLowerCase();
      let shown = 0;
      for (const details of holder.querySelectorAll('details[data-tab]')) {
        let inTab = 0;
        for (const row of details.querySelectorAll('.p2-control')) {
          const hit = !wanted || row.textContent.toLowerCase().indexOf(wanted) >= 0;
          row.hidden = !hit;
          if (hit) ++inTab;
        }
        for (const heading of details.querySelectorAll('h4.p2-group')) {
          let next = heading.nextElementSibling;
          let any = false;
          for (; next && !next.matches('h4'); next = next.nextElementSibling) {
            any = any || !next.hidden;
          }
          heading.hidden = !any;
        }
        details.hidden = inTab === 0;
        if (wanted && inTab > 0) details.open = true;
        shown += inTab;
      }
      count.textContent = shown + ' of ' + all.length + ' controls';
    }

    async function load() {
      for (const details of holder.querySelectorAll('details[data-tab]')) {
        if (details.open) open.add(details.dataset.tab);
        else open.delete(details.dataset.tab);
      }
      const {ordered} = await readControls();
      all = ordered;
      const tabs = new Map();
      for (const control of ordered) {
        const tab = tabOf(control);
        if (!tabs.has(tab)) tabs.set(tab, []);
        tabs.get(tab).push(control);
      }
      holder.replaceChildren();
      const sorted = [...tabs].sort((a, b) => tabRank(a[0]) - tabRank(b[0]));
      for (const [tab, controls] of sorted) {
        const body = Helm.el('div', {class: 'p2-controls'});
        // The inner tabs' controls together, each under its title, in the order they come.
        const groups = new Map();
        for (const control of controls) {
          const group = control.group || '';
          if (!groups.has(group)) groups.set(group, []);
          groups.get(group).push(control);
        }
        for (const [group, members] of groups) {
          if (group) body.append(Helm.el('h4', {class: 'p2-group', 'data-group': group}, group));
          for (const control of members) body.append(controlRow(control, refresh));
        }
        const details = Helm.el('details', {'data-tab': tab},
            Helm.el('summary', {}, tab + ' (' + controls.length + ')'), body);
        details.open = open.has(tab) || (first && holder.childElementCount === 0);
        holder.append(details);
      }
      first = false;
      filterShown();
      root.setAttribute('data-loaded', '1');
    }

    function failed(error) {
      holder.replaceChildren(Helm.el('p', {class: 'notice'},
          'The controls could not be read: ' + ((error && error.message) || 'error')));
    }
    function refresh() {
      return load().catch(failed);
    }

    search.addEventListener('input', filterShown);
    reload.addEventListener('click', refresh);
    refresh();
  }

  Helm.registerPage('advanced', {title: 'Advanced', order: 80, render: render, leave() {}});
})();
