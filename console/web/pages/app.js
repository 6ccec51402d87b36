// The web console's shell: the login, the nav and routing by hash, the shared event stream,
// toasts and the modal, and window.Helm, the interface every page script uses.
// Every text from the server goes in as a text node, never as markup.
'use strict';

(function () {
  const pages = new Map();  // name -> {name, title, order, render, leave, section, link}
  const listeners = new Map();  // event name -> Set of functions
  const kEvents = ['state', 'online', 'log', 'log-cleared', 'journal', 'ban', 'unban'];
  let current = null;
  let source = null;
  let reconnectTimer = null;
  let reconnectDelay = 1000;
  let started = false;

  const $ = (id) => document.getElementById(id);

  const Helm = {
    session: null,

    may(permission) {
      return !!(Helm.session && Helm.session.may && Helm.session.may[permission]);
    },

    // JSON in and out with the CSRF token on everything but a GET. Rejects with an Error that
    // has .status (0 when the console cannot be reached) and .message (the server's words).
    async api(method, path, body) {
      const headers = { Accept: 'application/json' };
      if (method !== 'GET' && method !== 'HEAD' && Helm.session) {
        headers['X-CSRF-Token'] = Helm.session.csrf_token || '';
      }
      const init = { method, headers, credentials: 'same-origin', cache: 'no-store' };
      if (body !== undefined) {
        headers['Content-Type'] = 'application/json';
        init.body = JSON.stringify(body);
      }
      let response;
      try {
        response = await fetch(path, init);
      } catch (e) {
        throw failure(0, 'The console cannot be reached. Is it still running?');
      }
      const text = await response.text();
      let data = {};
      if (text) {
        try { data = JSON.parse(text); } catch (e) { data = { error: text.trim() }; }
      }
      if (!response.ok) {
        const error = failure(response.status, messageOf(data, response.status));
        error.data = data;
        if (response.status === 401 && path !== '/api/login') sessionEnded();
        throw error;
      }
      return data;
    },

    // POST /api/steps. A refusal or a failure is shown as a toast and thrown on.
    async act(steps) {
      try {
        return await Helm.api('POST', '/api/steps', { steps });
      } catch (error) {
        if (error.status !== 401) Helm.toast(error.message, 'error');
        throw error;
      }
    },

    control(name) {
      return Helm.api('GET', '/api/controls/' + encodeURIComponent(name));
    },

    on(event, fn) {
      if (!listeners.has(event)) listeners.set(event, new Set());
      listeners.get(event).add(fn);
    },

    off(event, fn) {
      const set = listeners.get(event);
      if (set) set.delete(fn);
    },

    // el('button', {class: 'x', 'data-acts': '', onclick: fn}, 'Kick'): strings become text.
    el(tag, attrs, ...children) {
      const node = document.createElement(tag);
      for (const [key, value] of Object.entries(attrs || {})) {
        if (value === undefined || value === null || value === false) continue;
        if (key.startsWith('on') && typeof value === 'function') {
          node.addEventListener(key.slice(2), value);
        } else if (key === 'class') {
          node.className = value;
        } else if (key === 'text') {
          node.textContent = value;
        } else if (key === 'value' && 'value' in node) {
          node.value = value;
        } else if (key === 'checked' || key === 'disabled' || key === 'selected') {
          node[key] = !!value;
        } else {
          node.setAttribute(key, value === true ? '' : String(value));
        }
      }
      appendChildren(node, children);
      return node;
    },

    toast(text, kind) {
      const box = Helm.el('div', { class: 'toast ' + (kind || 'ok'), role: 'status' },
        String(text));
      $('toasts').appendChild(box);
      const close = () => box.remove();
      box.addEventListener('click', close);
      setTimeout(close, kind === 'error' ? 8000 : 4000);
      return box;
    },

    confirm(text, okLabel) {
      return new Promise((resolve) => {
        const modal = $('modal');
        const ok = $('modal-ok');
        const cancel = $('modal-cancel');
        $('modal-text').textContent = text;
        ok.textContent = okLabel || 'OK';
        const finish = (answer) => {
          modal.hidden = true;
          ok.removeEventListener('click', yes);
          cancel.removeEventListener('click', no);
          modal.removeEventListener('keydown', key);
          resolve(answer);
        };
        const yes = () => finish(true);
        const no = () => finish(false);
        const key = (event) => { if (event.key === 'Escape') finish(false); };
        ok.addEventListener('click', yes);
        cancel.addEventListener('click', no);
        modal.addEventListener('keydown', key);
        modal.hidden = false;
        ok.focus();
      });
    },

    registerPage(name, page) {
      pages.set(name, Object.assign({ name, title: name, order: 100 }, page));
      if (started && Helm.session) buildNav();
    },

    // A page's helpers: a date shown in the page's own words, and a debounced function.
    debounce(fn, ms) {
      let timer = null;
      return (...args) => {
        clearTimeout(timer);
        timer = setTimeout(() => fn(...args), ms);
      };
    },

    // The page being shown ("dashboard").
    currentPage() { return current ? current.name : null; },
  };
  window.Helm = Helm;

  function appendChildren(node, children) {
    for (const child of children) {
      if (child === undefined || child === null || child === false) continue;
      if (Array.isArray(child)) appendChildren(node, child);
      else if (child instanceof Node) node.appendChild(child);
      else node.appendChild(document.createTextNode(String(child)));
    }
  }

  function failure(status, message) {
    const error = new Error(message);
    error.status = status;
    return error;
  }

  // The server's reason: {"error"} of the API, or the refused step's error or reply text.
  function messageOf(data, status) {
    if (data && Array.isArray(data.results) && data.results.length) {
      const last = data.results[data.results.length - 1];
      const text = stepMessage(last);
      if (text) return text;
    }
    const text = stepMessage(data);
    if (text) return text;
    if (status === 503) return 'The console is busy: nothing was done. Try again in a moment.';
    if (status === 403) return 'Your role may not do this.';
    return 'The request failed (' + status + ').';
  }

  function stepMessage(result) {
    if (!result || typeof result !== 'object') return '';
    if (typeof result.error === 'string' && result.error) return result.error;
    if (typeof result.reply === 'string' && result.reply.trim()) return result.reply.trim();
    return '';
  }

  // Login and session.
  async function start() {
    started = true;
    $('login-form').addEventListener('submit', logIn);
    $('logout').addEventListener('click', logOut);
    window.addEventListener('hashchange', route);
    try {
      Helm.session = await Helm.api('GET', '/api/session');
      enter();
    } catch (error) {
      showLogin(error.status === 401 ? '' : error.message);
    }
  }

  async function logIn(event) {
    event.preventDefault();
    const button = $('login-submit');
    const error = $('login-error');
    error.textContent = '';
    button.disabled = true;
    try {
      await Helm.api('POST', '/api/login',
        { user: $('login-user').value.trim(), password: $('login-password').value });
      Helm.session = await Helm.api('GET', '/api/session');
      $('login-password').value = '';
      enter();
    } catch (e) {
      error.textContent = e.status === 401 ? 'Wrong user name or password.' : e.message;
    } finally {
      button.disabled = false;
    }
  }

  async function logOut() {
    try {
      await Helm.api('POST', '/api/logout', {});
    } catch (e) {
      // Gone already: the login shows all the same.
    }
    Helm.session = null;
    leavePage();
    closeStream();
    showLogin('');
  }

  function sessionEnded() {
    if (!Helm.session) return;
    Helm.session = null;
    leavePage();
    closeStream();
    showLogin('Your session has ended. Please log in again.');
  }

  function showLogin(message) {
    $('app').hidden = true;
    $('login-view').hidden = false;
    $('login-error').textContent = message;
    $('login-user').focus();
  }

  function enter() {
    $('login-view').hidden = true;
    $('app').hidden = false;
    $('whoami').textContent = Helm.session.user + ' (' + Helm.session.role + ')';
    buildNav();
    openStream();
    route();
  }

  // Navigation.
  function sortedPages() {
    return [...pages.values()].sort((a, b) => a.order - b.order || a.name.localeCompare(b.name));
  }

  function buildNav() {
    const nav = $('nav');
    nav.replaceChildren();
    for (const page of sortedPages()) {
      page.link = Helm.el('a', { href: '#/' + page.name, 'data-page': page.name }, page.title);
      nav.appendChild(page.link);
      if (!page.section) {
        page.section = Helm.el('section', { id: 'page-' + page.name, hidden: true });
        $('pages').appendChild(page.section);
      }
    }
    if (current && current.link) current.link.classList.add('current');
  }

  function leavePage() {
    if (!current) return;
    try {
      if (current.leave) current.leave();
    } catch (e) {
      console.error(e);
    }
    current.section.hidden = true;
    current.section.replaceChildren();
    current.section.removeAttribute('data-loaded');
    if (current.link) current.link.classList.remove('current');
    current = null;
  }

  function route() {
    if (!Helm.session) return;
    const wanted = (location.hash.match(/^#\/([\w-]+)/) || [])[1] || 'dashboard';
    const page = pages.get(wanted) || pages.get('dashboard') || sortedPages()[0];
    if (!page) return;
    if (current === page) return;
    leavePage();
    current = page;
    page.section.hidden = false;
    page.link.classList.add('current');
    document.title = page.title + ' · Helmsman';
    try {
      const done = page.render(page.section);
      if (done && typeof done.catch === 'function') done.catch((e) => pageFailed(page, e));
    } catch (e) {
      pageFailed(page, e);
    }
    window.scrollTo(0, 0);
  }

  function pageFailed(page, error) {
    console.error(error);
    if (error && error.status === 401) return;
    page.section.appendChild(Helm.el('p', { class: 'notice' },
      'This page could not be shown: ' + (error && error.message ? error.message : error)));
  }

  // The shared event stream: one EventSource for every page. It reconnects by itself after a
  // dropped connection; when the session is gone the stream fails at once, which is told
  // apart by asking for the session.
  function openStream() {
    closeStream();
    source = new EventSource('/api/events');
    for (const name of kEvents) {
      source.addEventListener(name, (event) => dispatch(name, event.data));
    }
    source.addEventListener('open', () => {
      reconnectDelay = 1000;
      $('stream-state').hidden = true;
    });
    source.addEventListener('error', () => {
      $('stream-state').hidden = false;
      if (source && source.readyState === EventSource.CLOSED) {
        closeStream();
        clearTimeout(reconnectTimer);
        reconnectTimer = setTimeout(checkAndReconnect, reconnectDelay);
        reconnectDelay = Math.min(reconnectDelay * 2, 15000);
      }
    });
  }

  async function checkAndReconnect() {
    if (!Helm.session) return;
    try {
      await Helm.api('GET', '/api/session');
      openStream();
    } catch (e) {
      if (e.status !== 401 && Helm.session) {
        reconnectTimer = setTimeout(checkAndReconnect, reconnectDelay);
        reconnectDelay = Math.min(reconnectDelay * 2, 15000);
      }
    }
  }

  function closeStream() {
    clearTimeout(reconnectTimer);
    if (source) source.close();
    source = null;
  }

  function dispatch(name, text) {
    let data;
    try { data = JSON.parse(text); } catch (e) { return; }
    if (name === 'state') showState(data);
    const set = listeners.get(name);
    if (!set) return;
    for (const fn of [...set]) {
      try { fn(data); } catch (e) { console.error(e); }
    }
  }

  // The header bar: the server's state and the console's status line.
  function showState(state) {
    const badge = $('server-badge');
    const server = state.server || 'unknown';
    badge.textContent = 'Server ' + server;
    badge.className = 'badge ' +
      (server === 'running' ? 'running' : server === 'stopped' ? 'stopped' : 'other');
    $('status-line').textContent = state.status || '';
    $('status-line').title = state.status || '';
  }

  document.addEventListener('DOMContentLoaded', start);
})();
