# The two commands a newcomer needs: `make run` and `make test`. Everything else is for developers.
.PHONY: all deps build run test demo fuzz bench format install clean screenshots

MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
BUILD := build
TEST_BUILD := build-asan
FUZZ_BUILD := build-fuzz
BENCH_BUILD := build-bench
FUZZ_SECONDS ?= 20
# A folder of the user's own: the program keeps its work files and SOUNDS beside itself.
PREFIX ?= $(HOME)/Tonewright
DEMO_PROFILE ?= AiboLife 2 (210)
FUZZ_TARGETS := $(notdir $(basename $(wildcard tests/fuzz/*Fuzz.cpp)))

all: build

deps:
	@./scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# Builds the demo stick beside the sources (once; delete demo-stick/ to start over) and starts
# the program there, so its open-file dialog opens on the demo stick's memstick.ind.
run: build
	@if [ -x $(BUILD)/Tonewright/MakeDemoStick ] && [ ! -d demo-stick ]; then \
	    $(BUILD)/Tonewright/MakeDemoStick demo-stick "$(DEMO_PROFILE)" $(BUILD)/Tonewright/SOUNDS; fi
	@mkdir -p demo-stick
	@cd demo-stick && ../$(BUILD)/Tonewright/Tonewright

demo: build
	@rm -rf demo-stick
	@$(BUILD)/Tonewright/MakeDemoStick demo-stick "$(DEMO_PROFILE)" $(BUILD)/Tonewright/SOUNDS

test: deps
	@cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1" -DCMAKE_CXX_FLAGS_DEBUG="-g1" \
	    -DCMAKE_EXE_LINKER_FLAGS="-fuse-ld=gold" -DTW_SANITIZE=ON -DTW_WERROR=ON >/dev/null
	@cmake --build $(TEST_BUILD) -j $(JOBS)
	@cd $(TEST_BUILD) && rm -f junit.xml && status=0 && \
	    { ctest --output-on-failure -j $(JOBS) --timeout 300 --output-junit junit.xml || status=1; } && \
	    { ../scripts/check-skips junit.xml || status=1; } && exit $$status

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_FUZZ=ON \
	    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-omit-frame-pointer" >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS)
	@fail=0; for name in $(FUZZ_TARGETS); do f=$(FUZZ_BUILD)/tests/fuzz/$$name; out=$(FUZZ_BUILD)/findings/$$name; \
	    mkdir -p $$out; printf '%-26s %s s: ' $$name $(FUZZ_SECONDS); \
	    if $$f -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=$$out/ $$out tests/fuzz/corpus/$$name \
	        > $$out.log 2>&1; then grep -o 'Done [0-9]* runs.*' $$out.log || echo done; \
	    else echo "FAILED (see $$out.log)"; tail -n 30 $$out.log; fail=1; fi; \
	done; exit $$fail

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTW_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target TonewrightBench
	@$(BENCH_BUILD)/bench/TonewrightBench

# The portable program folder (the program, its compressor and SOUNDS/) plus a menu entry and
# the icon for the desktop's menus. PREFIX must not contain a space: Tonewright refuses to start
# from such a folder.
DESKTOP_DIR ?= $(or $(XDG_DATA_HOME),$(HOME)/.local/share)/applications
ICON_DIR ?= $(or $(XDG_DATA_HOME),$(HOME)/.local/share)/icons/hicolor
install: build
	@case "$(PREFIX)" in *" "*) echo "PREFIX must not contain a space" >&2; exit 1;; esac
	@mkdir -p "$(PREFIX)/SOUNDS" "$(DESKTOP_DIR)" "$(ICON_DIR)/32x32/apps" "$(ICON_DIR)/16x16/apps"
	@install -m 755 $(BUILD)/Tonewright/Tonewright $(BUILD)/Tonewright/Crushkit "$(PREFIX)/"
	@for f in $(BUILD)/Tonewright/SOUNDS/*; do [ -e "$(PREFIX)/SOUNDS/$${f##*/}" ] || install -m 644 "$$f" "$(PREFIX)/SOUNDS/"; done
	@convert resources/app32.xpm "$(ICON_DIR)/32x32/apps/tonewright.png"
	@convert resources/app16.xpm "$(ICON_DIR)/16x16/apps/tonewright.png"
	@install -m 644 resources/app32.xpm "$(PREFIX)/tonewright.xpm"
	@sed -e "s|@PREFIX@|$(PREFIX)|g" -e "s|@ICON@|tonewright|g" resources/tonewright.desktop.in > "$(PREFIX)/tonewright.desktop"
	@install -m 644 "$(PREFIX)/tonewright.desktop" "$(DESKTOP_DIR)/tonewright.desktop"
	@echo "Installed Tonewright in $(PREFIX); menu entry $(DESKTOP_DIR)/tonewright.desktop"

format:
	@find src tests tools bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(TEST_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)
