// The Banners and maintenance page: the timed banners with "Display Now", the daily banners,
// the greeting and the maintenance warnings; the automated maintenance's settings with
// "Execute Now", and, where this console offers them, what the next cycle would remove, the
// action journal and the quarantine.
(function () {
  'use strict';

  const SLOTS = 12;
  const COUNTDOWNS = ['lblTimeToNextTimedBanner', 'lblAutoMaintenanceIntervalTimeLeft'];
  const JOURNAL_SHOWN = 30;
  let stopPolling = null;
  let stopJournal = null;

  function render(root) {
    const P = window.HelmPages2;
    const body = Helm.el('div', {id: 'banners'});
    const shownAll = {timed: false, daily: false};
    let generation = 0;  // only the newest reload is shown
    root.append(Helm.el('h2', {}, 'Banners and maintenance'), body);

    async function reload() {
      await load().catch(shown);
    }

    function shown(error) {
      body.replaceChildren(Helm.el('p', {class: 'notice'},
          'The banners could not be read: ' + ((error && error.message) || 'error')));
    }

    // A countdown label, kept fresh by the poll.
    function countdown(controls, name, prefix) {
      const control = controls[name];
      return Helm.el('p', {class: 'muted', 'data-control': name, 'data-prefix': prefix},
                     control && control.text ? prefix + control.text : '');
    }

    function timedBanners(controls) {
      const section = Helm.el('section', {class: 'panel'}, Helm.el('h3', {}, 'Timed banners'));
      const enabled = controls.chkEnableTimedBanners;
      section.append(
          P.checkField(enabled, 'chkEnableTimedBanners', '', reload),
          P.setField(controls.vscBannerDisplayInterval, 'vscBannerDisplayInterval',
                     'Minutes between two banners (5 to 120)', {onDone: reload}),
          countdown(controls, 'lblTimeToNextTimedBanner', 'Seconds to the next banner: '));
      if (enabled && enabled.value !== 1) {
        section.append(Helm.el('p', {class: 'p2-note'},
            'Timed banners are off: "Display Now" shows nothing until they are on.'));
      }
      const now = controls.cmdDisplayTimedBannerNow;
      const admin = P.mayAct('check', 'optTimedBanner_0');
      const mayDisplay = P.mayAct('click', 'cmdDisplayTimedBannerNow');
      const list = Helm.el('div', {id: 'timed-banners', class: 'p2-banner-list'});
      for (let i = 0; i < SLOTS; ++i) {
        const text = controls['txtTimedBanner_' + i];
        const option = controls['optTimedBanner_' + i];
        const next = option && option.value === 1;
        const filled = text && text.text !== '';
        if (!filled && !P.mayAct('set', 'txtTimedBanner_' + i)) continue;
        const row = Helm.el('div', {class: 'p2-banner' + (next ? ' p2-next' : ''),
                                    'data-slot': String(i), 'data-empty': !filled},
            Helm.el('span', {class: 'p2-slot'}, String(i + 1)));
        row.append(P.setField(text, 'txtTimedBanner_' + i, '', {onDone: reload}));
        if (next) row.append(Helm.el('span', {class: 'p2-badge'}, 'next'));
        // An admin may choose any filled banner to show now; a moderator shows the next one.
        if (mayDisplay && filled && (admin || next)) {
          const button = P.clickButton('cmdDisplayTimedBannerNow', 'Display Now',
              {'data-action': 'display-now', class: 'small'}, reload,
              () => (next ? [] : [{verb: 'check', name: 'optTimedBanner_' + i, value: '1'}]));
          if (now && !now.enabled) {
            button.disabled = true;
            button.title = 'The server is not running';
          }
          row.append(button);
        }
        list.append(row);
      }
      if (!list.childElementCount) list.append(Helm.el('p', {class: 'empty'}, 'No timed banners.'));
      section.append(list, spareSlots(list, 'timed'));
      return section;
    }

    // Empty slots beyond the first are folded away until asked for.
    function spareSlots(list, kind) {
      const empty = [...list.querySelectorAll('.p2-banner[data-empty]')].slice(1);
      if (empty.length === 0 || shownAll[kind]) return '';
      for (const row of empty) row.hidden = true;
      const more = Helm.el('button', {type: 'button', class: 'small', 'data-more': kind},
                           'Show ' + empty.length + ' more empty slots');
      more.addEventListener('click', () => {
        shownAll[kind] = true;
        for (const row of empty) row.hidden = false;
        more.remove();
      });
      return more;
    }

    // One combo box of a daily banner: a select for admins, the chosen row as text otherwise.
    function dailyChoice(control, name, rows, label) {
      const selected = control ? control.selected : -1;
      if (!P.mayAct('select', name)) {
        return Helm.el('span', {class: 'p2-value', 'data-control': name},
                       selected >= 0 && selected < rows.length ? rows[selected] : '-');
      }
      const select = Helm.el('select', {class: 'p2-input', 'data-acts': '', 'data-control': name});
      select.setAttribute('aria-label', label);
      select.append(Helm.el('option', {value: ''}, '-'));
      rows.forEach((row, index) => select.append(Helm.el('option', {value: String(index)}, row)));
      select.value = selected >= 0 ? String(selected) : '';
      select.disabled = !control || !control.enabled;
      select.addEventListener('change', async () => {
        if (select.value === '') return;
        select.disabled = true;
        try {
          await P.act([{verb: 'select', name: name, value: select.value}]);
        } catch (error) {
          // the toast told why
        }
        await reload();
      });
      return select;
    }

    function dailyBanners(controls, days, hours) {
      const section = Helm.el('section', {class: 'panel'}, Helm.el('h3', {}, 'Daily banners'));
      const list = Helm.el('div', {id: 'daily-banners', class: 'p2-banner-list'});
      for (let i = 0; i < SLOTS; ++i) {
        const day = 'cmbDailyBannerDay_' + i;
        const time = 'cmbDailyBannerTime_' + i;
        const text = controls['txtDailyBanner_' + i];
        if ((!text || text.text === '') && !P.mayAct('set', 'txtDailyBanner_' + i)) continue;
        list.append(Helm.el('div', {class: 'p2-banner', 'data-slot': String(i),
                                    'data-empty': !text || text.text === ''},
            Helm.el('span', {class: 'p2-slot'}, String(i + 1)),
            P.setField(controls['txtDailyBanner_' + i], 'txtDailyBanner_' + i, '',
                       {onDone: reload}),
            Helm.el('span', {class: 'p2-inline'},
                dailyChoice(controls[day], day, days, 'Day of banner ' + (i + 1)),
                dailyChoice(controls[time], time, hours, 'Hour of banner ' + (i + 1)))));
      }
      if (!list.childElementCount) list.append(Helm.el('p', {class: 'empty'}, 'No daily banners.'));
      section.append(list, spareSlots(list, 'daily'));
      return section;
    }

    function specialBanners(controls) {
      const greeting = controls.lblNewPlayerBannerPart1;
      return Helm.el('section', {class: 'panel'}, Helm.el('h3', {}, 'Specialty banners'),
          P.setField(controls.txtNewPlayerBannerPart2, 'txtNewPlayerBannerPart2',
                     'New player greeting: "' + (greeting ? greeting.text : '') + '" and',
                     {onDone: reload}),
          P.setField(controls.txt5MinuteShutdownWarningBanner, 'txt5MinuteShutdownWarningBanner',
                     'Maintenance warning 5 minutes before', {onDone: reload}),
          P.setField(controls.txt1MinuteShutdownWarningBanner, 'txt1MinuteShutdownWarningBanner',
                     'Maintenance warning 1 minute before', {onDone: reload}),
          P.setField(controls.txtShutdownWarningBanner, 'txtShutdownWarningBanner',
                     'At the shutdown for maintenance', {onDone: reload}),
          P.clickButton('cmdSaveBannerConfigurationToFile', 'Save Banner Configuration',
                        {id: 'banners-save'}, reload) || '');
    }

    // What the next cycle would remove, read on request (it reads every candidate's file).
    function previewBlock() {
      const out = Helm.el('div', {id: 'maintenance-preview'});
      const button = Helm.el('button', {type: 'button', id: 'maintenance-preview-show'},
                             'Preview what it would remove');
      button.addEventListener('click', async () => {
        button.disabled = true;
        try {
          const reply = await P.optional('/api/preview/maintenance');
          // Carried out like an action: the request layer's JSON is the result's reply.
          const preview = reply && reply.reply && typeof reply.reply === 'object' ? reply.reply
                                                                                  : reply;
          out.replaceChildren();
          if (!preview) {
            out.append(Helm.el('p', {class: 'muted'}, 'This console offers no preview.'));
          } else {
            out.append(Helm.el('p', {}, preview.summary || ''));
            const list = Helm.el('ul', {class: 'p2-plain'});
            for (const item of (preview.remove || []).slice(0, 200)) {
              list.append(Helm.el('li', {},
                  (item.character ? item.character + ' (' + item.account_folder + ')'
                                  : item.account_folder) +
                  ': ' + item.rule + (item.value ? ', ' + item.value : '')));
            }
            out.append(list);
          }
        } catch (error) {
          Helm.toast('No preview: ' + ((error && error.message) || 'error'), 'error');
        }
        button.disabled = false;
      });
      return Helm.el('div', {}, button, out);
    }

    function maintenance(controls) {
      const section = Helm.el('section', {id: 'maintenance', class: 'panel'},
          Helm.el('h3', {}, 'Automated maintenance'),
          P.checkField(controls.chkEnableAutomatedMaintenance, 'chkEnableAutomatedMaintenance',
                       '', reload),
          P.setField(controls.vscAutoMaintenanceInterval, 'vscAutoMaintenanceInterval',
                     'Hours between two cycles (6 to 48)', {onDone: reload}),
          countdown(controls, 'lblAutoMaintenanceIntervalTimeLeft', 'Next cycle in: '),
          P.checkField(controls.chkRestartQVServer, 'chkRestartQVServer', '', reload),
          P.checkField(controls.chkDeleteQVServerErrorsLogfile, 'chkDeleteQVServerErrorsLogfile',
                       '', reload),
          P.checkField(controls.chkDeleteNonBannedInactivePlayers,
                       'chkDeleteNonBannedInactivePlayers', '', reload),
          P.setField(controls.vscDaysInactive, 'vscDaysInactive',
                     'Inactive means more days than (5 to 600)', {onDone: reload}),
          P.checkField(controls.chkDeleteNonBannedUninterestedPlayers,
                       'chkDeleteNonBannedUninterestedPlayers', '', reload),
          P.setField(controls.vscMinutesInactive, 'vscMinutesInactive',
                     'Uninterested means fewer minutes played than (1 to 30)', {onDone: reload}),
          P.checkField(controls.chkDeleteNonBannedEmptyPlayerFolders,
                       'chkDeleteNonBannedEmptyPlayerFolders', '', reload));
      const buttons = Helm.el('div', {class: 'p2-toolbar'});
      const runs = [
        ['cmdExecuteAutomatedMaintenance', 'Execute Now', 'maintenance-execute'],
        ['cmdExecuteAutoMaintenanceIn1Minutes', 'In 1 Minute', 'maintenance-in-1'],
        ['cmdExecuteAutoMaintenanceIn5Minutes', 'In 5 Minutes', 'maintenance-in-5'],
        ['cmdExecuteAutoMaintenanceIn10Minutes', 'In 10 Minutes', 'maintenance-in-10'],
      ];
      for (const [name, caption, id] of runs) {
        const button = P.clickButton(name, caption, {id: id}, reload);
        if (!button) continue;
        if (controls[name] && !controls[name].enabled) {
          button.disabled = true;
          button.title = 'The server is not running';
        }
        buttons.append(button);
      }
      if (buttons.childElementCount) section.append(buttons);
      if (P.mayAct('click', 'cmdExecuteAutomatedMaintenance')) section.append(previewBlock());
      return section;
    }

    // The action journal's newest entries, where this console offers them.
    function journalEntry(entry) {
      const who = [entry.character, entry.account].filter(Boolean).join(' / ');
      const details = Object.entries(entry.details || {})
          .map(([key, value]) => key + '=' + value).join(' ');
      return Helm.el('li', {},
          Helm.el('span', {class: 'p2-time'}, entry.time || ''), ' ',
          Helm.el('strong', {}, entry.action || ''), ' by ', entry.actor || '-',
          who ? ' — ' + who : '', details ? ' (' + details + ')' : '');
    }

    // The journal's newest entries, the newest first; new ones come in from the event stream.
    function journal(entries) {
      const list = Helm.el('ul', {id: 'journal-entries', class: 'p2-plain p2-journal'});
      for (const entry of entries.slice(-JOURNAL_SHOWN).reverse()) list.append(journalEntry(entry));
      return Helm.el('section', {class: 'panel'}, Helm.el('h3', {}, 'Journal (newest first)'),
                     list);
    }

    const onJournal = (entry) => {
      const list = document.getElementById('journal-entries');
      if (!list || !entry) return;
      list.prepend(journalEntry(entry));
      while (list.childElementCount > JOURNAL_SHOWN) list.lastElementChild.remove();
    };
    Helm.on('journal', onJournal);
    if (stopJournal) stopJournal();
    stopJournal = () => Helm.off('journal', onJournal);

    function quarantine(reply) {
      const entries = reply.entries || [];
      const list = Helm.el('ul', {id: 'quarantine-entries', class: 'p2-plain'});
      for (const entry of entries) {
        const accounts = new Set((entry.files || []).map((file) => file.account));
        list.append(Helm.el('li', {'data-entry': entry.entry},
            Helm.el('span', {class: 'p2-time'}, entry.time || ''), ' ', entry.action || '',
            entry.limit ? ' (' + entry.limit + ')' : '', ' by ', entry.actor || '-', ': ',
            (entry.files || []).length + ' files of ' + accounts.size + ' accounts',
            entry.readable === false ? ' — damaged, cannot be restored' : ''));
      }
      return Helm.el('section', {class: 'panel'}, Helm.el('h3', {}, 'Quarantine'),
          Helm.el('p', {class: 'muted'}, 'Removed files are kept in ' + (reply.folder || '') +
              '; helmsman-ctl restore brings an entry back.'),
          entries.length ? list : Helm.el('p', {class: 'muted'}, 'Nothing is in quarantine.'));
    }

    async function load() {
      const mine = ++generation;
      const [{controls}, days, hours, journalReply, quarantineReply] = await Promise.all([
        P.readControls(), P.readRows('cmbDailyBannerDay_0'), P.readRows('cmbDailyBannerTime_0'),
        P.optional('/api/journal?last=' + JOURNAL_SHOWN).catch(() => null),
        P.optional('/api/quarantine').catch(() => null)]);
      if (mine !== generation) return;  // a newer reload shows the newer state
      const y = window.scrollY;
      body.replaceChildren(
          timedBanners(controls), dailyBanners(controls, days.rows, hours.rows),
          specialBanners(controls), maintenance(controls));
      if (journalReply) {
        body.append(journal(Array.isArray(journalReply) ? journalReply
                                                        : journalReply.entries || []));
      }
      if (quarantineReply) body.append(quarantine(quarantineReply));
      window.scrollTo(0, y);
      root.setAttribute('data-loaded', '1');
    }

    // The countdowns move every second: read them alone now and then.
    async function poll() {
      for (const name of COUNTDOWNS) {
        const shown = body.querySelector('[data-control="' + name + '"]');
        if (!shown) continue;
        try {
          const control = await Helm.control(name);
          shown.textContent = control.text ? shown.dataset.prefix + control.text : '';
        } catch (error) {
          return;
        }
      }
    }

    load().catch(shown);
    if (stopPolling) stopPolling();
    stopPolling = P.every(5000, poll);
  }

  function leave() {
    if (stopPolling) stopPolling();
    if (stopJournal) stopJournal();
    stopPolling = null;
    stopJournal = null;
  }

  Helm.registerPage('banners', {title: 'Banners', order: 70, render: render, leave: leave});
})();
