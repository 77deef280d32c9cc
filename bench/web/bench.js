'use strict';
(async () => {
  const count = Number(new URLSearchParams(location.search).get('points') || 1000000);
  const [wasm, grid] = await Promise.all([
    fetch('nuvex.wasm').then((r) => r.arrayBuffer()),
    fetch('BETA2007.gsb').then((r) => r.arrayBuffer()),
  ]);
  const worker = new Worker('bench-worker.js');
  worker.onmessage = (event) => {
    window.benchResult = event.data;
    document.getElementById('out').textContent = JSON.stringify(event.data, null, 2);
  };
  worker.postMessage({ wasm, grid, count });
})();
