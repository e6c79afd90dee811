// A full repaint of the product's editor, off-screen, at each of its sizes:
// what opening the window or a host's expose costs at 100, 150 and 200 %.
#include <benchmark/benchmark.h>

#include "graphics/IGraphicsOffscreen.h"
#include "product/QVDelay.h"
#include "product/QVDelayConfig.h"
#include "product/editor/QVDelayEditor.h"
#include "tests/host/TestHost.h"

namespace {

void BM_FullRepaint(benchmark::State& state) {
  TestHost host;
  host.Create(VSTPluginMain);
  host.Start(44100, 512);
  auto* plug = static_cast<QVDelay*>(IPluginVST::FromEffect(host.Effect()));
  auto* g = new IGraphicsOffscreen(plug, kEditorWidth, kEditorHeight, kEditorFps, true);
  LayoutEditor(plug, g);
  plug->AttachEditor(g);
  int parent = 0;
  g->OpenWindow(&parent);
  if (!g->SetUserScale(state.range(0) / 100.0)) state.SkipWithError("the size was refused");
  for (auto _ : state) {
    g->SetAllControlsDirty();
    g->Tick();
  }
  state.SetItemsProcessed(state.iterations() * g->Width() * g->Height());
}
BENCHMARK(BM_FullRepaint)->ArgName("percent")->Arg(100)->Arg(150)->Arg(200);

}  // namespace

BENCHMARK_MAIN();
