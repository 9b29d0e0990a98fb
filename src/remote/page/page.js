'use strict';
// The station's status page: asks for a token once (or takes it from #token=…), then reads
// /api/status every second and shows every channel.
(function () {
  const KEY = 'tessora-token';
  const STATES = { playing: '播放中', paused: '暂停', stopped: '停止', idle: '空闲', error: '错误' };
  const PROBLEMS = {
    'list-unreadable': '列表无法读取', 'list-damaged': '列表损坏', 'no-list': '没有列表',
    'file-missing': '文件不存在', 'file-unplayable': '文件无法播放', 'folder-empty': '文件夹为空',
    'never-due': '永远不会播放', 'bad-times': '时间不正确', 'no-device': '声卡不存在'
  };
  const $ = (id) => document.getElementById(id);
  const cards = new Map();
  let timer = null;

  function takeTokenFromAddress() {
    const match = /(?:^|&)token=([^&]+)/.exec(location.hash.replace(/^#/, ''));
    if (!match) return;
    localStorage.setItem(KEY, decodeURIComponent(match[1]));
    history.replaceState(null, '', location.pathname + location.search);
  }

  function showLogin(message) {
    if (timer) { clearInterval(timer); timer = null; }
    $('main').hidden = true;
    $('login').hidden = false;
    $('login-error').textContent = message || '';
    $('link').textContent = '需要访问令牌';
  }

  function start() {
    $('login').hidden = true;
    $('main').hidden = false;
    refresh();
    if (!timer) timer = setInterval(refresh, 1000);
  }

  function element(tag, cls, text) {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  function itemText(item) {
    if (!item) return '—';
    return item.number + ' ' + item.title + '  ' + item.start + '–' + item.end;
  }

  function makeCard() {
    const card = element('article', 'card');
    const head = element('h3');
    const title = element('span', 'title');
    const state = element('span', 'state');
    head.append(title, state);
    const caption = element('div', 'caption');
    const list = element('dl');
    const fields = {};
    for (const [key, label] of [['list', '列表'], ['item', '当前'], ['next', '下一个'], ['file', '文件'], ['output', '输出'], ['error', '故障']]) {
      const dt = element('dt', '', label);
      const dd = element('dd', key);
      list.append(dt, dd);
      fields[key] = { dt, dd };
    }
    const meters = [element('div', 'meter'), element('div', 'meter')];
    for (const m of meters) m.append(element('div'));
    card.append(head, caption, list, meters[0], meters[1]);
    return { card, title, state, caption, fields, meters };
  }

  function setText(node, text) {
    if (node.textContent !== text) node.textContent = text;
  }

  function showChannel(c) {
    let view = cards.get(c.channel);
    if (!view) {
      view = makeCard();
      cards.set(c.channel, view);
      $('channels').append(view.card);
    }
    view.card.dataset.channel = c.channel;
    setText(view.title, (c.channel + 1) + '. ' + c.title);
    setText(view.state, STATES[c.state] || c.state);
    view.state.className = 'state ' + c.state;
    if (view.caption.textContent !== c.caption) {
      view.caption.textContent = c.caption;
      view.caption.dataset.shownAt = String(Date.now());
    }
    setText(view.fields.list.dd, c.list || '—');
    setText(view.fields.item.dd, itemText(c.item));
    setText(view.fields.next.dd, itemText(c.next));
    setText(view.fields.file.dd, c.file || '—');
    setText(view.fields.output.dd, c.output || '—');
    setText(view.fields.error.dd, c.error || '');
    view.fields.error.dt.hidden = view.fields.error.dd.hidden = !c.error;
    view.meters[0].firstChild.style.width = Math.max(0, Math.min(100, c.level[0])) + '%';
    view.meters[1].firstChild.style.width = Math.max(0, Math.min(100, c.level[1])) + '%';
  }

  function show(status) {
    setText($('station'), status.station);
    document.title = status.station + ' · 状态';
    setText($('clock'), status.time.replace('T', ' '));
    const seen = new Set();
    for (const c of status.channels) { showChannel(c); seen.add(c.channel); }
    for (const [index, view] of cards) if (!seen.has(index)) { view.card.remove(); cards.delete(index); }
    const t = status.today || {};
    setText($('total'), t.total === null || t.total === undefined ? '-' : String(t.total));
    setText($('heard'), t.heard === null || t.heard === undefined ? '-' : String(t.heard));
    setText($('missed'), t.missed === null || t.missed === undefined ? '-' : String(t.missed));
    setText($('today-error'), t.error || '');
    const list = $('problems');
    list.replaceChildren();
    if (!status.problems.length) list.append(element('li', '', '没有发现问题'));
    for (const p of status.problems) {
      const where = p.date + ' ' + (p.channel + 1) + '. ' + p.title + (p.item !== null ? ' #' + p.item + ' ' + p.itemTitle : '');
      list.append(element('li', 'error', where + '：' + (PROBLEMS[p.problem] || p.problem) + (p.detail ? '（' + p.detail + '）' : '')));
    }
  }

  async function refresh() {
    const token = localStorage.getItem(KEY);
    if (!token) { showLogin(); return; }
    try {
      const answer = await fetch('/api/status', { headers: { Authorization: 'Bearer ' + token }, cache: 'no-store' });
      if (answer.status === 401) { localStorage.removeItem(KEY); showLogin('令牌无效'); return; }
      if (answer.status === 429) { $('link').textContent = '尝试次数过多，请稍后再试'; $('link').classList.add('bad'); return; }
      if (!answer.ok) throw new Error('HTTP ' + answer.status);
      show(await answer.json());
      $('link').textContent = '已连接 · 每秒刷新';
      $('link').classList.remove('bad');
    } catch (e) {
      $('link').textContent = '连接中断：' + e.message;
      $('link').classList.add('bad');
    }
  }

  $('login').addEventListener('submit', (event) => {
    event.preventDefault();
    const token = $('token').value.trim();
    if (!token) return;
    localStorage.setItem(KEY, token);
    $('token').value = '';
    start();
  });
  $('logout').addEventListener('click', () => { localStorage.removeItem(KEY); showLogin(); });
  window.addEventListener('hashchange', () => { takeTokenFromAddress(); if (localStorage.getItem(KEY)) start(); });

  takeTokenFromAddress();
  if (localStorage.getItem(KEY)) start(); else showLogin();
})();
