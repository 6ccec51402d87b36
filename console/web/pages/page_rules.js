// The Rules page: the name and equipment filters, the unknown-equipment rule, the character
// limit and the kinds of cheat the cheaters log bans for, as the window's "Player
// Enforcement" tab holds them. Admins change them through the window's own controls; the
// others see them.
(function () {
  'use strict';

  const CHEAT_KINDS = [
    'chkAutoBanShipRelatedCheaters',
    'chkAutoBanShipCapacityExceededCheats',
    'chkAutoBanEquipmentExceedsShipSpecsCheats',
    'chkAutoBanShipOrEquipmentNotSoldOnBaseCheats',
  ];

  function render(root) {
    const P = window.HelmPages2;
    const body = Helm.el('div', {id: 'rules'});
    // What is typed into the add boxes lives across the page's reloads until it is added.
    const typed = {name: '', equipment: ''};
    let generation = 0;  // only the newest reload is shown
    root.append(Helm.el('h2', {}, 'Rules'),
        Helm.el('p', {class: 'muted'},
            'The console applies these rules to every player online each time it scans them.'),
        body);

    // One filter list with its remove buttons and the way to add to it.
    function filterSection(filter, controls, list) {
      const admin = P.mayAct('click', filter.add);
      const rows = Helm.el('div', {id: filter.prefix + '-filters', class: 'p2-rule-list',
                                   'data-control': filter.list});
      if (list.rows.length === 0) {
        rows.append(Helm.el('div', {class: 'empty'}, 'No filters.'));
      }
      for (const text of list.rows) {
        const row = Helm.el('div', {class: 'rule-row', 'data-text': text},
                            Helm.el('span', {class: 'rule-text'}, text));
        if (admin) {
          const remove = Helm.el('button', {type: 'button', 'data-action': 'remove',
                                            'data-acts': '', class: 'small'}, 'Remove');
          remove.setAttribute('aria-label', 'Remove ' + text);
          remove.addEventListener('click', () => change(remove, [
            {verb: 'select', name: filter.list, value: '=' + text},
            {verb: 'click', name: filter.remove},
          ]));
          row.append(remove);
        }
        rows.append(row);
      }

      const section = Helm.el('section', {class: 'panel'}, Helm.el('h3', {}, filter.title));
      section.append(filter.action(controls, admin), rows);
      if (admin) {
        const input = Helm.el('input', {type: 'text', id: filter.prefix + '-filter-text',
                                        class: 'p2-input', placeholder: filter.placeholder,
                                        autocomplete: 'off'});
        input.setAttribute('aria-label', filter.placeholder);
        input.value = typed[filter.prefix];
        input.addEventListener('input', () => {
          typed[filter.prefix] = input.value;
        });
        const add = Helm.el('button', {type: 'button', id: filter.prefix + '-filter-add',
                                       'data-acts': ''}, 'Add');
        const send = () => {
          const text = input.value.trim();
          if (!text) return;
          const steps = filter.addSteps(text);
          if (!steps) return;
          change(add, steps, () => {
            if (typed[filter.prefix] === input.value) typed[filter.prefix] = '';
          });
        };
        add.addEventListener('click', send);
        input.addEventListener('keydown', (event) => {
          if (event.key === 'Enter') send();
        });
        const form = Helm.el('div', {class: 'p2-toolbar'}, input, add);
        if (filter.choices) {
          const options = Helm.el('datalist', {id: filter.prefix + '-filter-choices'});
          for (const row of filter.choices) options.append(Helm.el('option', {value: row}));
          input.setAttribute('list', options.id);
          form.append(options);
        }
        section.append(form);
      }
      return section;
    }

    // The name filter's kick or ban: the window's pair of option buttons.
    function nameAction(controls, admin) {
      const kick = controls.optPlayerWithBadNamePunishment_0;
      const ban = controls.optPlayerWithBadNamePunishment_1;
      const now = ban && ban.value === 1 ? 'ban' : kick && kick.value === 1 ? 'kick' : '';
      const label = 'A player whose name contains one of these texts is';
      if (!admin || !P.mayAct('check', 'optPlayerWithBadNamePunishment_0')) {
        return Helm.el('p', {class: 'p2-field'}, label + ' ' +
            (now === 'ban' ? 'banned.' : now === 'kick' ? 'kicked.' : 'left alone.'));
      }
      const select = Helm.el('select', {id: 'name-filter-action', class: 'p2-input',
                                        'data-acts': ''},
          Helm.el('option', {value: 'kick'}, 'kicked'),
          Helm.el('option', {value: 'ban'}, 'banned'));
      if (!now) select.prepend(Helm.el('option', {value: ''}, 'left alone (choose)'));
      select.value = now;
      select.setAttribute('aria-label', label);
      select.addEventListener('change', () => {
        const name = select.value === 'ban' ? 'optPlayerWithBadNamePunishment_1'
                                            : 'optPlayerWithBadNamePunishment_0';
        if (select.value) change(select, [{verb: 'check', name: name, value: '1'}]);
      });
      return Helm.el('label', {class: 'p2-field'}, Helm.el('span', {class: 'p2-caption'}, label),
                     select);
    }

    // The equipment filter bans or does nothing: the window's check box.
    function equipmentAction(controls, admin) {
      const name = 'chkAutoBanPlayersWithSpecifiedEquipment';
      const on = controls[name] && controls[name].value === 1;
      const label = 'A player using one of these is';
      if (!admin || !P.mayAct('check', name)) {
        return Helm.el('p', {class: 'p2-field', 'data-control': name},
                       label + ' ' + (on ? 'banned.' : 'left alone (the filter is off).'));
      }
      const select = Helm.el('select', {id: 'equipment-filter-action', class: 'p2-input',
                                        'data-acts': '', 'data-control': name},
          Helm.el('option', {value: 'ban'}, 'banned'),
          Helm.el('option', {value: 'off'}, 'left alone (the filter is off)'));
      select.value = on ? 'ban' : 'off';
      select.setAttribute('aria-label', label);
      select.addEventListener('change', () => change(select, [
        {verb: 'check', name: name, value: select.value === 'ban' ? '1' : '0'}]));
      return Helm.el('label', {class: 'p2-field'}, Helm.el('span', {class: 'p2-caption'}, label),
                     select);
    }

    // Acts, then shows the rules as they are now (or as they stayed); done runs when the
    // console carried the steps out.
    async function change(element, steps, done) {
      element.disabled = true;
      try {
        if (await P.act(steps) && done) done();
      } catch (error) {
        // the toast told why
      }
      await load().catch(shown);
    }

    async function load() {
      const mine = ++generation;
      const focused = document.activeElement && document.activeElement.id;
      const [{controls}, names, equipment] = await Promise.all([
        P.readControls(), P.readRows('lstNameScanFilters'), P.readRows('lstEquipmentScanFilters')]);
      const admin = P.mayAct('click', 'cmdAddEquipmentScanFilter');
      const catalogue = admin ? (await P.readRows('cmdAllEquippableEquipment')).rows : [];
      if (mine !== generation) return;  // a newer reload shows the newer state
      const y = window.scrollY;
      body.replaceChildren();

      body.append(filterSection({
        title: 'Unallowed Player Names', prefix: 'name', list: 'lstNameScanFilters',
        add: 'cmdAddNameScanFilter', remove: 'cmdRemoveNameScanFilter',
        placeholder: 'Text to look for in names', action: nameAction,
        addSteps: (text) => [{verb: 'set', name: 'txtNameScanFilter', value: text},
                             {verb: 'click', name: 'cmdAddNameScanFilter'}],
      }, controls, names));

      body.append(filterSection({
        title: 'Unallowed Player Equipment', prefix: 'equipment', list: 'lstEquipmentScanFilters',
        add: 'cmdAddEquipmentScanFilter', remove: 'cmdRemoveEquipmentScanFilter',
        placeholder: 'Ship or item (type to search)', action: equipmentAction, choices: catalogue,
        addSteps: (text) => {
          if (catalogue.indexOf(text) < 0) {
            Helm.toast('"' + text + '" is not an equippable ship or item of the game data',
                       'error');
            return null;
          }
          return [{verb: 'select', name: 'cmdAllEquippableEquipment', value: '=' + text},
                  {verb: 'click', name: 'cmdAddEquipmentScanFilter'}];
        },
      }, controls, equipment));

      const reload = () => load().catch(shown);
      const other = Helm.el('section', {class: 'panel'}, Helm.el('h3', {}, 'Other rules'),
          P.checkField(controls.chkAutoBanPlayersWithUnknownEquipment,
                       'chkAutoBanPlayersWithUnknownEquipment', '', reload),
          P.checkField(controls.lblPlayerCharacterNumberLimit, 'lblPlayerCharacterNumberLimit',
                       '', reload),
          P.setField(controls.vscPlayerCharacterNumberLimit, 'vscPlayerCharacterNumberLimit',
                     'Characters an account may hold (1 to 5)', {onDone: reload}));
      body.append(other);

      const cheats = Helm.el('section', {class: 'panel'},
          Helm.el('h3', {}, 'Cheaters log'),
          P.checkField(controls.chkCheckCheaterLog, 'chkCheckCheaterLog', '', reload),
          Helm.el('p', {class: 'muted'}, 'Ban automatically for these kinds of cheat:'));
      for (const name of CHEAT_KINDS) cheats.append(P.checkField(controls[name], name, '', reload));
      body.append(cheats);

      // The window's "Save Program Configuration" does nothing in this console: the settings
      // are written when it shuts down.
      if (P.mayAct('click', 'cmdAddNameScanFilter')) {
        body.append(Helm.el('p', {class: 'muted'},
            'Changes act at once; the console writes them to its settings files when it shuts ' +
            'down.'));
      }
      if (focused && /-filter-text$/.test(focused)) document.getElementById(focused).focus();
      window.scrollTo(0, y);
      root.setAttribute('data-loaded', '1');
    }

    function shown(error) {
      body.replaceChildren(Helm.el('p', {class: 'notice'},
          'The rules could not be read: ' + ((error && error.message) || 'error')));
    }

    load().catch(shown);
  }

  Helm.registerPage('rules', {title: 'Rules', order: 60, render: render, leave() {}});
})();
