# The two commands a newcomer needs: `make run` and `make test`. Both install what is missing first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")

.PHONY: run test build deps configure test-asan bench character-sheet format install package clean

run: build
	./$(BUILD)/chatterwisp

test: build
	cmake -S . -B $(ASAN_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DCW_SANITIZE=ON
	cmake --build $(ASAN_BUILD)
	tools/run-tests.sh $(BUILD) $(ASAN_BUILD)

deps:
	tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD)

bench: build
	tools/headless.sh tools/run-benchmarks.sh $(BUILD)

character-sheet: build
	cmake --build $(BUILD) --target character-sheet
	@echo "contact sheet: $(BUILD)/character-sheet.png"

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

install: build
	cmake --install $(BUILD)

package: build
	cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
