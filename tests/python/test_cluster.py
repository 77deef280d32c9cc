# A real Dask cluster: a scheduler and two worker processes on the loopback interface convert a
# million rows in eight partitions; the result must equal the conversion in this process row by
# row, with the points that have no transformation path marked and kept.
import numpy as np
import pytest

from nuvex.dataframe import transform, transform_dask

pd = pytest.importorskip("pandas")
dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("dask.distributed")

ROWS = 1_000_000
PARTITIONS = 8  # of 125000 rows: whole blocks of the engine's vector path, so equal to the bit
OPTIONS = {"x": "lon", "y": "lat", "source": "G:3", "target": "E:2"}


def points():
    """WGS84 points over and around the datum shifts' regions, a few not finite, with an id."""
    rng = np.random.default_rng(2026)
    lon, lat = rng.uniform(4.0, 16.5, ROWS), rng.uniform(46.0, 56.0, ROWS)
    lon[::9973] = np.nan
    return pd.DataFrame({"id": np.arange(ROWS), "lon": lon, "lat": lat})


def test_cluster_conversion_equals_the_serial_one():
    frame = points()
    serial = transform(frame, **OPTIONS)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        assert all(address.startswith("tcp://127.0.0.1:") for address in
                   [cluster.scheduler_address, *client.scheduler_info()["workers"]])
        lazy = transform_dask(dd.from_pandas(frame, npartitions=PARTITIONS), **OPTIONS)
        assert lazy.npartitions == PARTITIONS
        persisted = client.persist(lazy)
        distributed.wait(persisted)
        holders = {worker for workers in client.who_has(persisted).values() for worker in workers}
        assert len(holders) == 2  # both worker processes converted partitions
        result = persisted.compute()
    pd.testing.assert_frame_equal(result, serial, check_exact=True)
    without_path = result.status == -1
    assert len(result) == ROWS and 0.05 < without_path.mean() < 0.95
    assert result.loc[without_path, ["x_out", "y_out"]].isna().all().all()
    assert (result.loc[without_path, "zone_out"] == 0).all()
    assert result.loc[~without_path, ["x_out", "y_out"]].notna().all().all()
