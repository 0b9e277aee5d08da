# velmora-cli alone, without Qt: for batch work on servers and clusters.
#   docker build -t velmora-cli .
#   docker run --rm -v "$PWD:/data" -w /data velmora-cli -o out --if-exists skip *.mp4
FROM debian:12 AS build
RUN apt-get update -qq && apt-get install -y -qq --no-install-recommends \
      build-essential cmake ninja-build pkg-config \
      libavformat-dev libavcodec-dev libavutil-dev && \
    rm -rf /var/lib/apt/lists/*
COPY . /src
RUN cmake -S /src -B /build -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DVELMORA_GUI=OFF -DBUILD_TESTING=OFF && \
    cmake --build /build && \
    cmake --install /build --prefix /opt/velmora

FROM debian:12-slim
RUN apt-get update -qq && apt-get install -y -qq --no-install-recommends \
      libavformat59 libavcodec59 libavutil57 && \
    rm -rf /var/lib/apt/lists/*
COPY --from=build /opt/velmora /opt/velmora
ENTRYPOINT ["/opt/velmora/bin/velmora-cli"]
